// A network of a test's own, and the faults of a real one on it: as root, a
// network namespace holding only its loopback interface, and nftables rules
// that stand in for a machine that vanished (its packets dropped, no close or
// reset ever sent) or for a firewall that forgets quiet connections.
#pragma once

#include <cstdint>
#include <string>

// Moves this process into a new network namespace and brings its loopback
// up. "" when done and nftables works there, otherwise why not (not root,
// no namespaces, no nftables in the kernel).
std::string enter_own_network();

// Drops every packet that reaches this machine to or from `port`: the
// connection on that port goes silent both ways, and a connect to it never
// hears back. Added to whatever was cut before.
bool cut_port(uint16_t port);
// Lifts every cut.
bool mend_cuts();
// A stateful firewall in the way of every TCP connection: it forgets a
// connection after `quiet_s` seconds without a packet, then drops that
// connection's packets as strangers'.
bool forget_quiet_connections(int quiet_s);
