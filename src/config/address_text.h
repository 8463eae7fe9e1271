#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <string>
#include <string_view>
#include <vector>

#include "config/list_file.h"

namespace quorvane::config {

// A client's address is one text everywhere it appears (block list, barred
// list, REMOTE_ADDR, access log, log view): IPv4 dotted, IPv6 in its
// canonical form (RFC 5952, as inet_ntop writes it), and an IPv4 client seen
// through a dual-stack listener (::ffff:a.b.c.d) as its plain IPv4 text.

// The text of a socket address of either family; empty for another family.
std::string SocketAddressText(const sockaddr_storage& address);

// The address a connected socket was reached at, as text; empty when unknown.
std::string LocalAddressText(int socket);

// The text of an IPv6 address, IPv4-mapped ones as IPv4.
std::string Ipv6AddressText(const in6_addr& address);

// An address as typed into a list, in the clients' form: an IPv6 address in
// any spelling (letter case, leading zeros, "::" placement, a mapped IPv4)
// becomes its canonical text; anything else stands as typed, so IPv4 entries
// are still compared letter for letter.
std::string CanonicalAddress(std::string_view typed);

// Who a client is when counting what it does (its connections, its failed
// sign-ins): an IPv4 address alone, an IPv6 address by its /64, the network
// one home or phone is given, so a client cannot pass for many by changing
// the address's last half.
std::string ClientGroup(std::string_view client);

// True when some entry of an address list names the client.
bool ListsAddress(const std::vector<std::string>& list, std::string_view client);

}  // namespace quorvane::config
