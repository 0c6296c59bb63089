#include "network_faults.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

// Hands `rules` to nft; its complaints go to standard error.
static bool nft(const std::string& rules)
{
    FILE* pipe = popen(NFT_PROGRAM " -f - >/dev/null", "w");
    if (pipe == nullptr)
        return false;
    std::fputs(rules.c_str(), pipe);
    return pclose(pipe) == 0;
}

std::string enter_own_loopback()
{
    if (geteuid() != 0)
        return "a network namespace needs root";
    if (unshare(CLONE_NEWNET) != 0)
        return std::string("no network namespace: ") + std::strerror(errno);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request = {};
    std::strcpy(request.ifr_name, "lo");
    const bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0)
        close(fd);
    return up ? "" : "the loopback interface stays down";
}

std::string enter_own_network()
{
    const std::string missing = enter_own_loopback();
    if (!missing.empty())
        return missing;
    return nft("list ruleset\n") ? "" : "nft does not work here";
}

// Mounts made here stay in this namespace: / is made private first, as a
// system that shares its mounts would otherwise show the bind everywhere. A
// hosts file bound before (by an earlier test in this process, its file since
// removed) is taken off first: nothing can be bound over it.
std::string use_own_hosts_file(const std::string& lines)
{
    char path[] = "/tmp/hosts-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return std::string("no file for the hosts: ") + std::strerror(errno);
    const bool written = write(fd, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
    close(fd);
    const bool own =
        written && unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (own)
        umount2("/etc/hosts", MNT_DETACH);
    const bool bound = own && mount(path, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
    const std::string why = bound ? "" : std::string("no hosts file of our own: ") + std::strerror(errno);
    unlink(path); // the bind keeps it while it is needed
    return why;
}

bool cut_port(uint16_t port, bool ipv6_only)
{
    const std::string p = std::to_string(port);
    const std::string family = ipv6_only ? "meta nfproto ipv6 " : "";
    return nft("table inet cut {\n chain in { type filter hook input priority 0; }\n}\n"
               "add rule inet cut in " +
               family + "tcp sport " + p +
               " drop\n"
               "add rule inet cut in " +
               family + "tcp dport " + p + " drop\n");
}

bool mend_cuts()
{
    return nft("delete table inet cut\n");
}

// A connection's packets pass the output hook first: there it gets the short
// time-out. With loose pick-up off, the next packet of a connection that has
// been forgotten is not taken up as a new one but counts as invalid.
bool forget_quiet_connections(int quiet_s)
{
    const std::string rules =
        "table inet forget {\n"
        " ct timeout quiet { protocol tcp; l3proto ip; policy = { established : " +
        std::to_string(quiet_s) +
        " }; }\n"
        " chain out { type filter hook output priority 0; meta l4proto tcp ct timeout set \"quiet\"; }\n"
        " chain in { type filter hook input priority 0; ct state invalid drop; }\n"
        "}\n";
    if (!nft(rules))
        return false;
    FILE* loose = std::fopen("/proc/sys/net/netfilter/nf_conntrack_tcp_loose", "w");
    const bool strict = loose != nullptr && std::fputs("0\n", loose) >= 0;
    return (loose == nullptr || std::fclose(loose) == 0) && strict;
}
