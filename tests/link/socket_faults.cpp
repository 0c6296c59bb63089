#include "socket_faults.hpp"

#include <algorithm>
#include <cerrno>

#include <sys/socket.h>

SocketFaults socket_faults;
SocketCalls socket_calls;

extern "C" {
ssize_t __real_send(int fd, const void* bytes, size_t length, int flags);
ssize_t __real_recv(int fd, void* bytes, size_t length, int flags);
int __real_accept(int fd, sockaddr* address, socklen_t* length);
int __real_socket(int domain, int type, int protocol);

ssize_t __wrap_send(int fd, const void* bytes, size_t length, int flags)
{
    ++socket_calls.send;
    if (fd == socket_faults.fd && socket_faults.sends_interrupted > 0) {
        --socket_faults.sends_interrupted;
        errno = EINTR;
        return -1;
    }
    if (fd == socket_faults.fd && socket_faults.send_byte_limit > 0) {
        const size_t limit = static_cast<size_t>(socket_faults.send_byte_limit);
        socket_faults.send_byte_limit = 0;
        return __real_send(fd, bytes, std::min(length, limit), flags);
    }
    if (fd == socket_faults.fd && socket_faults.sends_refused > 0) {
        --socket_faults.sends_refused;
        errno = EAGAIN;
        return -1;
    }
    return __real_send(fd, bytes, length, flags);
}

ssize_t __wrap_recv(int fd, void* bytes, size_t length, int flags)
{
    ++socket_calls.recv;
    if (fd == socket_faults.fd && socket_faults.recvs_interrupted > 0) {
        --socket_faults.recvs_interrupted;
        errno = EINTR;
        return -1;
    }
    return __real_recv(fd, bytes, length, flags);
}

int __wrap_accept(int fd, sockaddr* address, socklen_t* length)
{
    ++socket_calls.accept;
    return __real_accept(fd, address, length);
}

int __wrap_socket(int domain, int type, int protocol)
{
    ++socket_calls.socket;
    if (domain == socket_faults.family_missing) {
        errno = EAFNOSUPPORT;
        return -1;
    }
    return __real_socket(domain, type, protocol);
}
}
