// Faults injected into the socket calls of a test program linked with
// -Wl,--wrap=send,--wrap=recv,--wrap=accept,--wrap=socket: every call goes
// through unchanged, and is counted, unless a fault is armed for its socket.
#pragma once

struct SocketFaults {
    int fd = -1;             // the socket the faults below apply to
    int send_byte_limit = 0; // > 0: the next send on it takes at most this many bytes
    int sends_refused = 0;   // sends on it that fail with EAGAIN, once the limit was used
    int sends_interrupted = 0;
    int recvs_interrupted = 0;
    int family_missing = -1; // sockets of this family fail as on a system without it
};

struct SocketCalls {
    int send = 0;
    int recv = 0;
    int accept = 0;
    int socket = 0;
    bool operator==(const SocketCalls&) const = default;
};

extern SocketFaults socket_faults;
extern SocketCalls socket_calls;
