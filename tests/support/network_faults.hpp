// A network of a test's own, and the faults of a real one on it: as root, a
// network namespace holding only its loopback interface, and nftables rules
// that stand in for a machine that vanished (its packets dropped, no close or
// reset ever sent) or for a firewall that forgets quiet connections.
#pragma once

#include <cstdint>
#include <string>

// Moves this process into a new network namespace and brings its loopback
// up, 127.0.0.1 and ::1. "" when done, otherwise why not (not root, no
// namespaces).
std::string enter_own_loopback();
// The same, and "" only when nftables works there too (not without it in
// the kernel).
std::string enter_own_network();
// Gives this process a mount namespace of its own in which /etc/hosts holds
// `lines`, as the programs it starts see it too. "" when done, else why not.
std::string use_own_hosts_file(const std::string& lines);

// Drops every packet that reaches this machine to or from `port` (over IPv6
// alone with `ipv6_only`): the connection on that port goes silent both
// ways, and a connect to it never hears back. Added to whatever was cut
// before.
bool cut_port(uint16_t port, bool ipv6_only = false);
// Lifts every cut.
bool mend_cuts();
// A stateful firewall in the way of every TCP connection: it forgets a
// connection after `quiet_s` seconds without a packet, then drops that
// connection's packets as strangers'.
bool forget_quiet_connections(int quiet_s);
