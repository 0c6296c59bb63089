// A local game never sets the link up: from program start its send, poll and
// clean-up do nothing, print nothing and touch no socket. This runs in a
// process of its own so that it sees the values the link starts with.
#include <sys/socket.h>
#include <unistd.h>

#include "link_support.hpp"
#include "socket_faults.hpp"

TEST(LinkLocalMode, SendPollAndCleanupDoNothingAndTouchNoSocket)
{
    expect_nothing_set_up();

    const int bystander = socket(AF_INET, SOCK_STREAM, 0);
    const int fds_before = count_open_fds();
    const SocketCalls calls_before = socket_calls;
    int from_row = -7, from_col = -7, to_row = -7, to_col = -7;
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 0);
    EXPECT_EQ(capture(printed, [&] { return network_check_move(&from_row, &from_col, &to_row, &to_col); }), 0);
    EXPECT_EQ(printed.out + printed.err, "");
    capture(printed, [] {
        network_cleanup();
        network_cleanup();
        return 0;
    });
    EXPECT_EQ(printed.out + printed.err, "");

    EXPECT_EQ(socket_calls, calls_before);
    EXPECT_EQ(count_open_fds(), fds_before);
    EXPECT_TRUE(fd_is_open(bystander));
    EXPECT_EQ(from_row + from_col + to_row + to_col, -28);
    expect_nothing_set_up();
    close(bystander);
}
