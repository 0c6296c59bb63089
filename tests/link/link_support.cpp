#include "link_support.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
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
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
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

int connect_loopback(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in record = loopback_record(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&record), sizeof record) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

uint16_t local_port(int fd)
{
    sockaddr_in record;
    socklen_t length = sizeof record;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&record), &length) < 0)
        return 0;
    return ntohs(record.sin_port);
}

uint16_t unused_port()
{
    uint16_t port = 0;
    const int fd = listen_loopback(&port);
    close(fd);
    return port;
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

std::string read_bytes(int fd, int length, int ms)
{
    std::string bytes;
    char chunk[64];
    while (static_cast<int>(bytes.size()) < length && wait_readable(fd, ms)) {
        const int want = std::min<int>(length - static_cast<int>(bytes.size()), sizeof chunk);
        const ssize_t count = recv(fd, chunk, want, MSG_DONTWAIT);
        if (count <= 0)
            break;
        bytes.append(chunk, static_cast<size_t>(count));
    }
    return bytes;
}

void send_bytes(int fd, const std::string& bytes)
{
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

void close_with_reset(int fd)
{
    linger no_linger = {1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &no_linger, sizeof no_linger);
    close(fd);
}

int count_open_fds()
{
    DIR* dir = opendir("/proc/self/fd");
    int count = 0;
    while (dir != nullptr && readdir(dir) != nullptr)
        ++count;
    if (dir != nullptr)
        closedir(dir);
    return count;
}

bool fd_is_open(int fd)
{
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

int poll_link_when_ready(int* from_row, int* from_col, int* to_row, int* to_col)
{
    const int fd = is_server && client_socket >= 0 ? client_socket : network_socket;
    if (fd >= 0)
        wait_readable(fd);
    return network_check_move(from_row, from_col, to_row, to_col);
}

int poll_link_when_ready()
{
    int from_row, from_col, to_row, to_col;
    return poll_link_when_ready(&from_row, &from_col, &to_row, &to_col);
}

uint16_t start_link_server()
{
    Printed printed;
    const int result = capture(printed, [] { return network_init_server(0); });
    EXPECT_EQ(result, 0) << printed.out;
    return local_port(network_socket);
}

int link_server_with_peer()
{
    const int peer = connect_loopback(start_link_server());
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n");
    EXPECT_EQ(is_connected, 1);
    return peer;
}

int start_link_client(int listen_fd, uint16_t port)
{
    Printed printed;
    const int result = capture(printed, [port] { return network_init_client("127.0.0.1", port); });
    EXPECT_EQ(result, 0) << printed.out;
    return accept_within(listen_fd);
}

void expect_nothing_set_up()
{
    EXPECT_EQ(network_socket, -1);
    EXPECT_EQ(client_socket, -1);
    EXPECT_EQ(is_server, 0);
    EXPECT_EQ(is_connected, 0);
}
