#include "loopback.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

static sockaddr_in loopback_record(uint16_t port)
{
    sockaddr_in record;
    std::memset(&record, 0, sizeof record);
    record.sin_family = AF_INET;
    record.sin_port = htons(port);
    record.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return record;
}

int listen_loopback(uint16_t* port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in record = loopback_record(0);
    if (fd < 0)
        return -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&record), sizeof record) < 0 || listen(fd, 4) < 0) {
        close(fd);
        return -1;
    }
    *port = local_port(fd);
    return fd;
}

uint16_t unused_port()
{
    uint16_t port = 0;
    const int fd = listen_loopback(&port);
    if (fd >= 0)
        close(fd);
    return port;
}

// The port sits at the same place in both families' records.
uint16_t local_port(int fd)
{
    sockaddr_in6 record;
    socklen_t length = sizeof record;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&record), &length) < 0)
        return 0;
    return ntohs(record.sin6_port);
}

int connect_loopback(uint16_t port, int retry_ms, bool ipv6)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(retry_ms);
    const sockaddr_in record = loopback_record(port);
    sockaddr_in6 record6;
    std::memset(&record6, 0, sizeof record6);
    record6.sin6_family = AF_INET6;
    record6.sin6_port = htons(port);
    record6.sin6_addr = in6addr_loopback;
    const sockaddr* address =
        ipv6 ? reinterpret_cast<const sockaddr*>(&record6) : reinterpret_cast<const sockaddr*>(&record);
    const socklen_t length = ipv6 ? sizeof record6 : sizeof record;
    for (;;) {
        const int fd = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (connect(fd, address, length) == 0)
            return fd;
        close(fd);
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool wait_readable(int fd, int ms)
{
    pollfd entry = {fd, POLLIN, 0};
    return poll(&entry, 1, ms) == 1;
}

int accept_within(int listen_fd, int ms)
{
    if (!wait_readable(listen_fd, ms))
        return -1;
    return accept(listen_fd, nullptr, nullptr);
}

std::string read_bytes(int fd, size_t length, int ms)
{
    std::string bytes;
    char chunk[64];
    while (bytes.size() < length && wait_readable(fd, ms)) {
        const ssize_t count = recv(fd, chunk, std::min(length - bytes.size(), sizeof chunk), MSG_DONTWAIT);
        if (count <= 0)
            break;
        bytes.append(chunk, static_cast<size_t>(count));
    }
    return bytes;
}

bool send_bytes(int fd, const std::string& bytes)
{
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

void close_with_reset(int fd)
{
    linger no_linger = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &no_linger, sizeof no_linger);
    close(fd);
}
