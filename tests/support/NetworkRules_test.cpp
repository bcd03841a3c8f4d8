// The engine's resolver rules and address-space overrides, read as the engine reads them.
#include "support/NetworkRules.h"

#include <gtest/gtest.h>

using namespace corvix;

TEST(EngineSwitchValue, TheLastOneWins)
{
    const std::vector<std::string> flags{"--proxy-server=a:1", "--no-sandbox", "--proxy-server-x=b",
                                         "--proxy-server=c:2"};
    EXPECT_EQ(EngineSwitchValue(flags, "proxy-server"), "c:2");
    EXPECT_EQ(EngineSwitchValue(flags, "no-sandbox"), "");
    EXPECT_EQ(EngineSwitchValue(flags, "sandbox"), std::nullopt);
}

TEST(HostResolverRules, MapsNamesAsTheEngineDoes)
{
    const HostResolverRules rules("MAP shop.example 127.0.0.1, map *.own.test 10.0.0.7:8080 ,"
                                  "MAP gone.test ~NOTFOUND, EXCLUDE keep.own.test, MAP *:81 [::1],"
                                  "MAP broken, MAP x.test y.test:99999");
    using K = HostResolverRules::Mapping::Kind;
    const struct {
        const char *host;
        int port;
        K kind;
        const char *to;
        int toPort;
    } cases[] = {
        {"shop.example", 80, K::Replaced, "127.0.0.1", -1},
        {"SHOP.Example", 443, K::Replaced, "127.0.0.1", -1},
        {"a.own.test", 80, K::Replaced, "10.0.0.7", 8080},
        {"own.test", 80, K::Unchanged, "", -1},
        {"keep.own.test", 80, K::Unchanged, "", -1},
        {"gone.test", 80, K::NotFound, "", -1},
        {"any.where", 81, K::Replaced, "::1", -1},
        {"any.where", 80, K::Unchanged, "", -1},
        {"broken", 80, K::Unchanged, "", -1},
        {"x.test", 80, K::Unchanged, "", -1},
    };
    for (const auto &row : cases) {
        const auto mapped = rules.Map(row.host, row.port);
        EXPECT_EQ(mapped.kind, row.kind) << row.host << ':' << row.port;
        EXPECT_EQ(mapped.host, row.to) << row.host << ':' << row.port;
        EXPECT_EQ(mapped.port, row.toPort) << row.host << ':' << row.port;
    }
}

TEST(IsUsersNetworkEndpoint, AddressesAndTheirOverrides)
{
    const AddressSpaceOverrides overrides("127.0.0.1:8001=public, [::1]:443=PUBLIC,203.0.113.5:80=private,"
                                          "127.0.0.1:9=nowhere,garbage");
    const struct {
        const char *address;
        int port;
        bool usersNetwork;
    } cases[] = {
        {"127.0.0.1", 8001, false},     {"127.0.0.1", 8002, true},  {"::ffff:127.0.0.1", 8001, false},
        {"::1", 443, false},            {"[::1]", 443, false},      {"::1", 80, true},
        {"203.0.113.5", 80, true},      {"203.0.113.5", 81, false}, {"127.0.0.1", 9, true},
        {"192.168.1.1", 80, true},      {"8.8.8.8", 53, false},
    };
    for (const auto &row : cases)
        EXPECT_EQ(IsUsersNetworkEndpoint(row.address, row.port, overrides), row.usersNetwork)
            << row.address << ':' << row.port;
}
