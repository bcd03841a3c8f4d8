// Which hosts lie on the user's own machine or network.
#include "support/HostName.h"

#include <gtest/gtest.h>

using namespace corvix;

TEST(IsLocalNetworkHost, LoopbackLinkLocalPrivateAndLocalhostNames)
{
    const std::pair<const char *, bool> cases[] = {
        {"127.0.0.1", true},       {"127.255.1.2", true},     {"0.0.0.0", true},
        {"10.1.2.3", true},        {"172.16.0.1", true},      {"172.31.255.255", true},
        {"172.32.0.1", false},     {"172.15.0.1", false},     {"192.168.1.1", true},
        {"192.169.1.1", false},    {"169.254.169.254", true}, {"100.64.0.1", true},
        {"100.128.0.1", false},    {"8.8.8.8", false},        {"93.184.216.34", false},
        {"::1", true},             {"[::1]", true},           {"::", true},
        {"fe80::1", true},         {"FEBF::abcd", true},      {"fec0::1", false},
        {"fd12:3456::1", true},    {"fc00::", true},          {"2001:db8::1", false},
        {"::ffff:127.0.0.1", true}, {"::ffff:7f00:1", true},  {"::ffff:8.8.8.8", false},
        {"localhost", true},       {"LocalHost.", true},      {"a.localhost", true},
        {"localhost.example", false}, {"notlocalhost", false}, {"shop.example", false},
        {"", false},               {"1.2.3", false},          {"1.2.3.256", false},
        {"1::2::3", false},        {"1:2:3:4:5:6:7:8:9", false}, {"::1:", false},
    };
    for (const auto &[host, local] : cases)
        EXPECT_EQ(IsLocalNetworkHost(host), local) << host;
}
