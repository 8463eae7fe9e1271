#include "config/address_text.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace quorvane::config {
namespace {

TEST(AddressText, ClientsAreKnownByOneTextPerAddress) {
    sockaddr_storage mapped{};
    auto& v6 = reinterpret_cast<sockaddr_in6&>(mapped);
    v6.sin6_family = AF_INET6;
    ASSERT_EQ(::inet_pton(AF_INET6, "::ffff:192.0.2.7", &v6.sin6_addr), 1);
    EXPECT_EQ(SocketAddressText(mapped), "192.0.2.7");
    ASSERT_EQ(::inet_pton(AF_INET6, "2001:DB8:0:0:0:0:0:1", &v6.sin6_addr), 1);
    EXPECT_EQ(SocketAddressText(mapped), "2001:db8::1");

    sockaddr_storage plain{};
    auto& v4 = reinterpret_cast<sockaddr_in&>(plain);
    v4.sin_family = AF_INET;
    ASSERT_EQ(::inet_pton(AF_INET, "10.0.0.7", &v4.sin_addr), 1);
    EXPECT_EQ(SocketAddressText(plain), "10.0.0.7");
    EXPECT_EQ(SocketAddressText(sockaddr_storage{}), "");
}

TEST(AddressText, TypedIpv6EntriesTakeTheCanonicalForm) {
    // RFC 5952: lower case, no leading zeros, "::" for the first longest run
    // of two or more zero groups and never for a single one.
    EXPECT_EQ(CanonicalAddress("2001:0DB8:0000:0000:0000:0000:0000:0001"), "2001:db8::1");
    EXPECT_EQ(CanonicalAddress("2001:db8:0:0:1:0:0:1"), "2001:db8::1:0:0:1");
    EXPECT_EQ(CanonicalAddress("2001:db8:0:1:1:1:1:1"), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(CanonicalAddress("0:0:0:0:0:0:0:1"), "::1");
    EXPECT_EQ(CanonicalAddress("::FFFF:10.0.0.7"), "10.0.0.7");
    // Everything else stands as typed.
    EXPECT_EQ(CanonicalAddress("10.0.0.7"), "10.0.0.7");
    EXPECT_EQ(CanonicalAddress("010.0.0.7"), "010.0.0.7");
    EXPECT_EQ(CanonicalAddress("fe80::1%eth0"), "fe80::1%eth0");
    EXPECT_EQ(CanonicalAddress("2001:db8::1::2"), "2001:db8::1::2");
    EXPECT_EQ(CanonicalAddress(""), "");
}

TEST(AddressText, AListNamesAClientInAnySpellingOfIpv6) {
    const std::vector<std::string> list = {"10.0.0.1", "2001:DB8::0:7", "::ffff:192.0.2.9"};
    EXPECT_TRUE(ListsAddress(list, "10.0.0.1"));
    EXPECT_TRUE(ListsAddress(list, "2001:db8::7"));
    EXPECT_TRUE(ListsAddress(list, "192.0.2.9"));
    EXPECT_FALSE(ListsAddress(list, "10.0.0.12"));
    EXPECT_FALSE(ListsAddress(list, "2001:db8::8"));
    EXPECT_FALSE(ListsAddress({}, "10.0.0.1"));
}

TEST(ClientGroup, AnIpv6ClientCountsByItsNetwork) {
    EXPECT_EQ(ClientGroup("192.0.2.7"), "192.0.2.7");
    EXPECT_EQ(ClientGroup("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(ClientGroup("2001:db8:1:2:bbbb::9"), "2001:db8:1:2::/64");
    EXPECT_EQ(ClientGroup("::1"), "::/64");
    EXPECT_EQ(ClientGroup(""), "");
}

}  // namespace
}  // namespace quorvane::config
