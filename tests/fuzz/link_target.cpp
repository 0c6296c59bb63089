// The peer link's reader under an arbitrary byte stream: the bytes reach the
// link through a real socket pair in pieces of the input's choosing, and the
// game's own poll (check_network_moves, with no window) reads them and plays
// what it decodes. After every poll: no more moves were read than whole
// four-byte texts arrived, the last text read is exactly the next four bytes
// of the stream, it was played exactly when the rules allow it, and nothing
// printed can reach a terminal as a control character. The peer's close, or
// its reset, is then a lost connection.
//
// Input: a flags byte (bit 0: the link is a server that takes the peer from
// its listening socket, else a client; bit 1: the peer goes with a reset
// rather than a close), a count byte (its low three bits: how many piece
// lengths follow), the piece lengths (each 1 to 16, repeated in turn over the
// stream), then the stream.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app.hpp"
#include "fuzz_support.hpp"
#include "game_snapshot.hpp"
#include "gui.hpp"
#include "network.hpp"

static constexpr uint8_t SERVER_MODE = 1 << 0;
static constexpr uint8_t PEER_RESETS = 1 << 1;
static constexpr size_t MAX_PIECE_LENGTHS = 7;
static constexpr size_t MAX_PIECE_BYTES = 16;

// ---------------------------------------------------------------------------
// What the link must have printed

// The four bytes as the link shows them: printable ASCII as it is, any other
// byte as \xNN.
static std::string shown_text(const uint8_t* text)
{
    std::string shown;
    for (int i = 0; i < MOVE_TEXT_BYTES; ++i) {
        char escaped[8];
        if (text[i] >= 0x20 && text[i] < 0x7F)
            shown += static_cast<char>(text[i]);
        else
            shown.append(escaped, std::snprintf(escaped, sizeof escaped, "\\x%02x", text[i]));
    }
    return shown;
}

struct Squares {
    int32_t from_row, from_col, to_row, to_col;
};

// Column letter, row digit, column letter, row digit, each byte signed.
static Squares decoded(const uint8_t* text)
{
    const auto byte = [&](int i) { return static_cast<int32_t>(static_cast<signed char>(text[i])); };
    return {'9' - byte(1), byte(0) - 'A', '9' - byte(3), byte(2) - 'A'};
}

static std::string received_lines(const uint8_t* text)
{
    const Squares move = decoded(text);
    char applying[128];
    std::snprintf(applying, sizeof applying, "[DEBUG][GUI] Applying received move: (%d,%d) -> (%d,%d)\n", move.from_row,
                  move.from_col, move.to_row, move.to_col);
    return "[DEBUG][NETWORK] Received move: " + shown_text(text) + "\n" + applying;
}

// ---------------------------------------------------------------------------
// The peer and the poll

// A listening socket the server mode takes its peers from, made once.
static int listener = -1;
static sockaddr_un listener_address;

static void make_listener()
{
    listener_address = {};
    listener_address.sun_family = AF_UNIX;
    // An abstract name: nothing on disk, gone with the process.
    std::snprintf(listener_address.sun_path + 1, sizeof listener_address.sun_path - 1, "tavelorn-fuzz-link-%d",
                  static_cast<int>(getpid()));
    listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&listener_address), sizeof listener_address) < 0 ||
        listen(listener, 1) < 0)
        fuzz_check_failed(__FILE__, __LINE__, "listener", "no listening socket");
}

// The link as its set-up leaves it, and the peer's end of the connection.
static int connect_peer(bool as_server)
{
    client_socket = -1;
    if (as_server) {
        network_socket = listener;
        is_server = 1;
        is_connected = 0;
        const int peer = socket(AF_UNIX, SOCK_STREAM, 0);
        if (peer < 0 || connect(peer, reinterpret_cast<sockaddr*>(&listener_address), sizeof listener_address) < 0)
            fuzz_check_failed(__FILE__, __LINE__, "connect", "no peer");
        return peer;
    }
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) < 0)
        fuzz_check_failed(__FILE__, __LINE__, "socketpair", "no socket pair");
    fcntl(pair[0], F_SETFL, fcntl(pair[0], F_GETFL) | O_NONBLOCK);
    network_socket = pair[0];
    is_server = 0;
    is_connected = 1;
    return pair[1];
}

static int link_fd()
{
    return is_server ? client_socket : network_socket;
}

// Bytes that have reached the link's socket and that it has not read yet.
static int unread_bytes()
{
    int count = 0;
    return link_fd() >= 0 && ioctl(link_fd(), FIONREAD, &count) == 0 ? count : 0;
}

struct Poll {
    GameState before;
    std::string_view printed;
};

// What the game prints during one input, caught once for all its polls.
static CaughtStream* out;

// One tick of the window's poll timer.
static Poll poll_link()
{
    Poll poll{snapshot_state(), {}};
    const size_t printed_before = caught_text(*out).size();
    check_network_moves(nullptr);
    poll.printed = caught_text(*out).substr(printed_before);
    FUZZ_CHECK(is_terminal_safe(poll.printed), poll.printed);
    return poll;
}

// True when the rules would have played the move in the position before the
// poll. Leaves the game as the poll left it.
static bool was_legal(const Poll& poll, const Squares& move)
{
    const GameState after = snapshot_state();
    restore_state(poll.before);
    bool legal = on_board(move.from_row, move.from_col) && on_board(move.to_row, move.to_col);
    if (legal) {
        compute_possible_moves(move.from_row, move.from_col);
        legal = highlight_moves[move.to_row][move.to_col] == 1;
    }
    restore_state(after);
    return legal;
}

// ---------------------------------------------------------------------------
// The stream

struct Stream {
    const uint8_t* bytes;
    size_t delivered = 0; // sent by the peer
    size_t texts = 0;     // whole texts the link has read
};

// A poll after part of the stream arrived: it reads at most one more text,
// only a whole one, the next in the stream, and plays it when it is legal.
static void check_poll_reading(Stream& stream, const Poll& poll)
{
    const size_t consumed = stream.delivered - static_cast<size_t>(unread_bytes());
    const size_t texts = consumed / MOVE_TEXT_BYTES;
    FUZZ_CHECK(texts == stream.texts || texts == stream.texts + 1, "a poll reads one whole text at most");
    if (texts == stream.texts) {
        FUZZ_CHECK(poll.printed.empty(), poll.printed);
        FUZZ_CHECK(snapshot_state() == poll.before, "nothing is played before a whole text has arrived");
        return;
    }
    const uint8_t* text = stream.bytes + stream.texts * MOVE_TEXT_BYTES;
    stream.texts = texts;
    const std::string expected = received_lines(text);
    FUZZ_CHECK(poll.printed.starts_with(expected), "the text read is the next four bytes: " + expected);
    const std::string_view rest = poll.printed.substr(expected.size());
    if (was_legal(poll, decoded(text))) {
        FUZZ_CHECK(rest.starts_with("[LOG] ") && rest.find('\n') == rest.size() - 1, poll.printed);
        FUZZ_CHECK(turn_count == poll.before.turn_count + 1 &&
                       current_player == other_player(poll.before.current_player),
                   "a move played passes the turn");
    } else {
        FUZZ_CHECK(rest.empty(), poll.printed);
        FUZZ_CHECK(snapshot_state() == poll.before, "a text the rules refuse changes nothing");
    }
}

// Sends one piece and polls until the link has read all of it, then once
// more with nothing there.
static void deliver(Stream& stream, int peer, size_t length)
{
    if (send(peer, stream.bytes + stream.delivered, length, MSG_NOSIGNAL) != static_cast<ssize_t>(length))
        fuzz_check_failed(__FILE__, __LINE__, "send", "the peer could not send a piece");
    stream.delivered += length;
    for (int polls = 0; polls <= static_cast<int>(length); ++polls) {
        const int unread = unread_bytes();
        check_poll_reading(stream, poll_link());
        FUZZ_CHECK(is_connected == 1, "the link stays up while the peer sends");
        if (unread == 0)
            return;
        FUZZ_CHECK(unread_bytes() < unread, "each poll reads what has arrived");
    }
    FUZZ_CHECK(false, "the link stopped reading");
}

// The peer goes; the next poll loses the connection without playing
// anything, the one after does nothing.
static void check_peer_gone(bool reset)
{
    Poll poll = poll_link();
    FUZZ_CHECK(poll.printed == (reset ? "[ERROR] Network error: Connection reset by peer\n"
                                      : "[DEBUG][NETWORK] Connection closed\n"),
               poll.printed);
    FUZZ_CHECK(is_connected == 0 && (!is_server || client_socket == -1), "the connection is dropped");
    FUZZ_CHECK(snapshot_state() == poll.before, "the bytes of an unfinished text are never played");
    poll = poll_link();
    FUZZ_CHECK(poll.printed.empty() && is_connected == 0, poll.printed);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (listener < 0)
        make_listener();
    InputBytes input{data, size};
    const uint8_t flags = take_byte(input);
    std::vector<size_t> lengths(take_byte(input) % (MAX_PIECE_LENGTHS + 1));
    for (size_t& length : lengths)
        length = take_byte(input) % MAX_PIECE_BYTES + 1;
    if (lengths.empty())
        lengths.push_back(input.size > 0 ? input.size : 1);

    new_game_setup();
    CaughtStream caught = begin_catching(stdout);
    out = &caught;
    const int peer = connect_peer(flags & SERVER_MODE);
    if (is_server) {
        const Poll poll = poll_link();
        FUZZ_CHECK(poll.printed == "[DEBUG][NETWORK] Client connected!\n" && is_connected == 1, poll.printed);
    }
    Stream stream{input.data};
    for (size_t piece = 0; stream.delivered < input.size; ++piece)
        deliver(stream, peer, std::min(lengths[piece % lengths.size()], input.size - stream.delivered));

    // A peer that leaves a byte of ours unread goes with a reset.
    const bool reset = flags & PEER_RESETS;
    if (reset && send(link_fd(), "", 1, MSG_NOSIGNAL) != 1)
        fuzz_check_failed(__FILE__, __LINE__, "send", "could not leave the peer a byte");
    close(peer);
    check_peer_gone(reset);

    if (is_server)
        network_socket = -1; // the listener serves the next input
    network_cleanup();
    end_catching(caught);
    return 0;
}
