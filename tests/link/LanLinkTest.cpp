// The link selector's "LAN": discovery with and without an adapter, the
// configuration datagram an adapter receives, both directions of the
// connection, the settings alone, and the errors a user is told about.
#include <gtest/gtest.h>

#include <future>

#include "link/DeviceLink.h"
#include "link/KytoSocket.h"
#include "tests/link/LanIni.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using loopback::Bytes;
using Clock = std::chrono::steady_clock;

const Bytes kDiscovery = [] {
    Bytes d;
    for (int i = 0; i < 40; ++i) {
        d.push_back(static_cast<std::uint8_t>('0' + i % 10));
    }
    return d;
}();

// An adapter's reply naming 127.0.0.1 on both ends.
Bytes Reply(std::uint8_t mode, int serverPort, int clientPort) {
    Bytes r(35, 0x5A);
    const Bytes identity = {'N', 'E', 'T', 'A', 'D', '7'};
    std::copy(identity.begin(), identity.end(), r.begin());
    const Bytes loop = {1, 0, 0, 127};
    std::copy(loop.begin(), loop.end(), r.begin() + 7);
    std::copy(loop.begin(), loop.end(), r.begin() + 13);
    r[11] = static_cast<std::uint8_t>(serverPort);
    r[12] = static_cast<std::uint8_t>(serverPort >> 8);
    r[17] = static_cast<std::uint8_t>(clientPort);
    r[18] = static_cast<std::uint8_t>(clientPort >> 8);
    r[23] = mode;
    return r;
}

bool Lists(const std::vector<std::string>& ports, const std::string& name) {
    return std::find(ports.begin(), ports.end(), name) != ports.end();
}

class LanLink : public ::testing::Test {
protected:
    void TearDown() override { link.CloseLink(); }
    TempDir dir;
    CDeviceLink link;
};

TEST_F(LanLink, WithoutAnAdapterLanIsListedOnlyWhenTheSettingsDescribeOne) {
    loopback::Udp silent;  // receives the discovery and never answers
    const std::string port = std::to_string(silent.Port());
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> keys;
        bool listed;
    } cases[] = {
        {"no keys", {}, false},
        {"port, default mode (listen)", {{"PORTNUMBER", "5000"}}, true},
        {"port and mode 1", {{"PORTNUMBER", "5000"}, {"SOCKETMODE", "1"}}, true},
        {"mode -1", {{"PORTNUMBER", "5000"}, {"SOCKETMODE", "-1"}}, false},
        {"mode without a port", {{"SOCKETMODE", "1"}}, false},
        {"port out of range", {{"PORTNUMBER", "70000"}}, false},
    };
    for (const auto& c : cases) {
        auto keys = c.keys;
        keys.emplace_back("DISCOVERYPORT", port);
        WriteLanIni(keys);
        const auto start = Clock::now();
        const std::vector<std::string> ports = link.ListPorts();
        EXPECT_GE(Clock::now() - start, 100ms) << c.what << ": waited for a reply";
        EXPECT_EQ(silent.Receive(1000), kDiscovery) << c.what;
        EXPECT_EQ(Lists(ports, "LAN"), c.listed) << c.what;
        if (c.listed) {
            EXPECT_EQ(ports.front(), "LAN") << c.what;
        }
    }
}

TEST_F(LanLink, AnAdapterThatConnectsIsConfiguredAndTheProgramListens) {
    loopback::Udp adapter;
    const int serverPort = loopback::FreeTcpPort();
    WriteLanIni({{"DISCOVERYPORT", std::to_string(adapter.Port())}, {"CONFIGTAG", "654321"}});
    auto discovery = std::async(std::launch::async, [&] {
        const auto request = adapter.Receive();
        adapter.Answer(Reply(0x21, serverPort, 0));
        return request;
    });
    const std::vector<std::string> ports = link.ListPorts();
    EXPECT_EQ(discovery.get(), kDiscovery);
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports.front(), "LAN");

    // The adapter is told the rate and where to connect, then connects.
    auto adapterSide = std::async(std::launch::async, [&] {
        const auto configuration = adapter.Receive();
        loopback::Fd tcp = loopback::ConnectWhenListening(serverPort);
        return std::make_pair(configuration, std::move(tcp));
    });
    ASSERT_TRUE(link.OpenLink("lan", 115200)) << link.LastOpenError();
    auto [configuration, peer] = adapterSide.get();
    ASSERT_TRUE(configuration);
    ASSERT_EQ(configuration->size(), 40u);
    EXPECT_EQ(std::string(configuration->begin(), configuration->begin() + 12), "NETAD7654321");
    EXPECT_EQ((*configuration)[28], 1) << "the program listens";
    EXPECT_EQ((*configuration)[29] | (*configuration)[30] << 8 | (*configuration)[31] << 16,
              115200);
    EXPECT_EQ(link.LinkMode(), 0);
    EXPECT_EQ(link.LanDescription(), "listen on port " + std::to_string(serverPort));
    ASSERT_TRUE(peer.Valid());

    const Bytes command = {0xFE, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.Write(command.data(), 4), 4);
    EXPECT_EQ(loopback::Receive(peer.Get(), 4), command);
    ASSERT_TRUE(loopback::SendAll(peer.Get(), {0xFE, 0x00, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_EQ(link.WaitAvailable(6, 5000), 6);
    std::uint8_t header[6];
    EXPECT_EQ(link.Read(header, 6), 6);
    EXPECT_EQ(link.SendInfo(), "") << "no send line in socket mode";

    EXPECT_TRUE(link.IsPresent());
    peer.Reset();
    link.WaitAvailable(1, 2000);
    EXPECT_TRUE(link.PeerClosed());
    EXPECT_FALSE(link.IsPresent());
}

TEST_F(LanLink, AnAdapterThatListensIsConnectedToWithoutAnEarlierPortList) {
    loopback::Udp adapter;
    loopback::Listener module;
    WriteLanIni({{"DISCOVERYPORT", std::to_string(adapter.Port())}});
    auto adapterSide = std::async(std::launch::async, [&] {
        adapter.Receive();  // the discovery OpenLink runs by itself
        adapter.Answer(Reply(0x02, 0, module.Port()));
        return adapter.Receive();
    });
    auto accepted = std::async(std::launch::async, [&] { return module.Accept(); });
    ASSERT_TRUE(link.OpenLink("LAN", 921600)) << link.LastOpenError();
    const auto configuration = adapterSide.get();
    ASSERT_TRUE(configuration);
    EXPECT_EQ((*configuration)[28], 3) << "the program connects";
    EXPECT_EQ(std::string(configuration->begin() + 6, configuration->begin() + 12), "123456")
        << "the default tag";
    EXPECT_TRUE(accepted.get().Valid());
    EXPECT_EQ(link.LinkMode(), 1);
    EXPECT_EQ(link.LanDescription(), "connect to 127.0.0.1:" + std::to_string(module.Port()));
}

TEST_F(LanLink, TheSettingsAloneDescribeTheModuleAndBadOnesAreRefused) {
    loopback::Listener module;
    const std::string port = std::to_string(module.Port());
    // No discovery at all (empty address): TCPIP and PORTNUMBER say where.
    WriteLanIni({{"DISCOVERYADDRESS", ""},
                 {"TCPIP", "127.0.0.1"},
                 {"PORTNUMBER", port},
                 {"SOCKETMODE", "1"}});
    EXPECT_EQ(link.ListPorts().front(), "LAN");
    auto accepted = std::async(std::launch::async, [&] { return module.Accept(); });
    ASSERT_TRUE(link.OpenLink("LAN", 9600)) << link.LastOpenError();
    EXPECT_TRUE(accepted.get().Valid());
    link.CloseLink();

    const int previous = sock_set_open_limit(100);
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> keys;
        int error;
    } cases[] = {
        {"nothing describes an adapter", {{"DISCOVERYADDRESS", ""}}, ENODEV},
        {"a tag of five digits",
         {{"DISCOVERYADDRESS", ""},
          {"PORTNUMBER", port},
          {"SOCKETMODE", "1"},
          {"TCPIP", "127.0.0.1"},
          {"CONFIGTAG", "12345"}},
         EINVAL},
        {"an address that is none",
         {{"DISCOVERYADDRESS", ""},
          {"PORTNUMBER", port},
          {"SOCKETMODE", "1"},
          {"TCPIP", "127.0.0.300"}},
         EINVAL},
        {"no address at all",
         {{"DISCOVERYADDRESS", ""}, {"PORTNUMBER", port}, {"SOCKETMODE", "1"}},
         EADDRNOTAVAIL},
        {"nobody listens",
         {{"DISCOVERYADDRESS", ""},
          {"PORTNUMBER", std::to_string(loopback::FreeTcpPort())},
          {"SOCKETMODE", "1"},
          {"TCPIP", "127.0.0.1"}},
         ECONNREFUSED},
    };
    for (const auto& c : cases) {
        WriteLanIni(c.keys);
        CDeviceLink fresh;  // discovers anew
        EXPECT_FALSE(fresh.OpenLink("LAN", 9600)) << c.what;
        EXPECT_EQ(fresh.LastOpenError(), c.error) << c.what;
        EXPECT_FALSE(CDeviceLink::DescribeLanOpenError(c.error).empty());
    }
    sock_set_open_limit(previous);
}

}  // namespace
