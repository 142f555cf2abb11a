#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/PortScan.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

TEST(PortScan, NaturalOrder) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyUSB2", "ttyUSB10", true}, {"ttyUSB10", "ttyUSB2", false}, {"ttyACM9", "ttyS0", true},
        {"ttyS1", "ttyUSB0", true},    {"ttyS01", "ttyS1", false},     {"ttyS1", "ttyS01", false},
        {"ttyS", "ttyS0", true},       {"ttyS0", "ttyS0", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kyto::link::NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

// A /sys/class/tty look-alike: USB and ACM entries count when backed by a
// device, UARTs only when they also report a known port type.
TEST(PortScan, ListsHardwarePortsInNaturalOrder) {
    TempDir dir;
    const auto add = [](const std::string& name, bool device, const char* type) {
        fs::create_directories(fs::path("tty") / name);
        if (device) {
            fs::create_directories(fs::path("tty") / name / "device");
        }
        if (type != nullptr) {
            std::ofstream(fs::path("tty") / name / "type") << type << "\n";
        }
    };
    add("ttyUSB10", true, nullptr);
    add("ttyUSB2", true, nullptr);
    add("ttyACM0", true, nullptr);
    add("ttyS0", true, "4");  // a 16550A
    add("ttyS1", true, "0");  // legacy entry without a chip
    add("ttyS2", false, nullptr);
    add("tty5", false, nullptr);  // virtual terminal
    add("console", true, nullptr);
    add("ttyUSB7", false, nullptr);  // half-removed adapter

    const auto ports = kyto::link::ScanSerialDevices("tty", "/dev");
    const std::vector<std::string> expected = {"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB2",
                                               "/dev/ttyUSB10"};
    EXPECT_EQ(ports, expected);
    EXPECT_TRUE(kyto::link::ScanSerialDevices("missing-folder").empty());
}

}  // namespace
