#include "link_support.hpp"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>

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
    const int fd = network_live_socket();
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
