// The network adapter's datagrams byte by byte: the reply parser (mode byte,
// ports, addresses, short replies), the configuration datagram, the TCPIP
// address text and the configuration tag.
#include <gtest/gtest.h>

#include "link/Discovery.h"

namespace {

using namespace kyto::link;
using Bytes = std::vector<std::uint8_t>;

DiscoveryReply SampleReply(std::uint8_t mode) {
    DiscoveryReply r{};
    for (std::size_t i = 0; i < r.size(); ++i) {
        r[i] = static_cast<std::uint8_t>(0x40 + i);  // recognisable filler
    }
    const std::uint8_t head[] = {'A',  'D',  'A', 'P', 'T', 'R',
                                 0x00, 20,   1,   168, 192,  // local 192.168.1.20, reversed
                                 0x88, 0x13,                 // server port 5000
                                 77,   1,    168, 192,       // module 192.168.1.77
                                 0xFF, 0xFF};                // client port 65535
    std::copy(std::begin(head), std::end(head), r.begin());
    r[23] = mode;
    return r;
}

TEST(Discovery, TheRequestIsFourTimesTheTenDigits) {
    const auto d = DiscoveryDatagram();
    EXPECT_EQ(std::string(d.begin(), d.end()), "0123456789012345678901234567890123456789");
}

TEST(Discovery, ReplyFieldsComeFromTheirBytesAndTheModeFromItsLowFourBits) {
    const DiscoveryReply reply = SampleReply(0x21);
    const auto e = ParseDiscoveryReply(reply.data(), reply.size());
    ASSERT_TRUE(e);
    EXPECT_EQ(FormatAddress(e->localAddress), "192.168.1.20");
    EXPECT_EQ(FormatAddress(e->moduleAddress), "192.168.1.77");
    EXPECT_EQ(e->serverPort, 5000);
    EXPECT_EQ(e->clientPort, 65535) << "ports are unsigned";

    const struct {
        std::uint8_t mode;
        int linkMode;
    } modes[] = {{0x21, 0}, {0x01, 0}, {0xF1, 0}, {0x02, 1}, {0x00, 1}, {0x10, 1}, {0xFF, 1}};
    for (const auto& m : modes) {
        const DiscoveryReply r = SampleReply(m.mode);
        EXPECT_EQ(ParseDiscoveryReply(r.data(), r.size())->linkMode, m.linkMode)
            << "mode byte " << int(m.mode);
    }
    // Fewer than 35 bytes are no reply; only the first 35 of more are used.
    EXPECT_FALSE(ParseDiscoveryReply(reply.data(), 34));
    EXPECT_FALSE(ParseDiscoveryReply(nullptr, 35));
    Bytes longer(reply.begin(), reply.end());
    longer.resize(60, 0x01);
    EXPECT_EQ(ParseDiscoveryReply(longer.data(), longer.size())->linkMode, 0);
}

TEST(Discovery, ConfigurationDatagramByteForByte) {
    const DiscoveryReply reply = SampleReply(0x02);
    LanEndpoint e = *ParseDiscoveryReply(reply.data(), reply.size());
    const auto d = ConfigurationDatagram(reply, e, "271828", 921600);
    // clang-format off
    const Bytes expected = {
        'A', 'D', 'A', 'P', 'T', 'R',          // identity of the reply
        '2', '7', '1', '8', '2', '8',          // tag
        192, 168, 1, 20,                       // local address, first octet first
        0x88, 0x13,                            // server port
        192, 168, 1, 77,                       // module address
        0xFF, 0xFF,                            // client port
        1, 20, 192, 168,                       // L1 L0 L3 L2 of the stored local address
        3,                                     // the program connects
        0x00, 0x10, 0x0E,                      // 921600, low 24 bits
        3,
        0x40 + 28, 0x40 + 29,                  // reply bytes 28, 29 echoed
        0x80,
        0x40 + 31, 0x40 + 32, 0x40 + 33, 0x40 + 34,
    };
    // clang-format on
    EXPECT_EQ(Bytes(d.begin(), d.end()), expected);

    e.linkMode = 0;
    EXPECT_EQ(ConfigurationDatagram(reply, e, "271828", 9600)[28], 1) << "the program listens";
    EXPECT_EQ(ConfigurationDatagram(reply, e, "271828", 9600)[29], 0x80);
    EXPECT_EQ(ConfigurationDatagram(reply, e, "271828", 9600)[30], 0x25);
}

TEST(Discovery, AddressTextAndTag) {
    const struct {
        const char* text;
        std::optional<std::string> address;
    } cases[] = {
        {"192.168.1.77", "192.168.1.77"},
        {" 10.0.0.5 ", "10.0.0.5"},
        {"127.0.0.1", "127.0.0.1"},
        {"10.1", "10.1.0.0"},
        {"", "0.0.0.0"},
        {"256.1.1.1", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..2.3", std::nullopt},
        {"abc", std::nullopt},
        {"1.2.3.", std::nullopt},
        {"1234.1.1.1", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseDottedAddress(c.text);
        EXPECT_EQ(parsed ? std::optional<std::string>(FormatAddress(*parsed)) : std::nullopt,
                  c.address)
            << '"' << c.text << '"';
    }
    // SocketOpen takes the first octet first in memory.
    const std::uint32_t n = NetworkOrder(*ParseDottedAddress("127.0.0.1"));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&n);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{127, 0, 0, 1}));

    EXPECT_TRUE(IsConfigTag("000000"));
    EXPECT_TRUE(IsConfigTag("123456"));
    for (const char* bad : {"12345", "1234567", "12345a", "", " 12345"}) {
        EXPECT_FALSE(IsConfigTag(bad)) << bad;
    }
}

}  // namespace
