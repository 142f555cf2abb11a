#include <gtest/gtest.h>

#include <vector>

#include "emulator/Faults.h"

using namespace kyto::emu;
using Bytes = std::vector<std::uint8_t>;

TEST(FaultInjector, EachFaultDoesWhatItSays) {
    Bytes frame(1000);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    {
        CFaultInjector none(FaultOptions{}, 1);
        EXPECT_EQ(none.Apply(frame), frame);
    }
    {
        FaultOptions o;
        o.dropRate = 1.0;
        EXPECT_TRUE(CFaultInjector(o, 1).Apply(frame).empty());
        o.dropRate = 0.25;
        const std::size_t kept = CFaultInjector(o, 1).Apply(frame).size();
        EXPECT_GT(kept, 650u);
        EXPECT_LT(kept, 850u);
    }
    {
        FaultOptions o;
        o.garbleRate = 1.0;
        const Bytes g = CFaultInjector(o, 1).Apply(frame);
        ASSERT_EQ(g.size(), frame.size());
        for (std::size_t i = 0; i < g.size(); ++i) {
            EXPECT_NE(g[i], frame[i]);
        }
    }
    {
        FaultOptions o;
        o.truncateRate = 1.0;
        CFaultInjector t(o, 1);
        for (int i = 0; i < 50; ++i) {
            const Bytes cut = t.Apply(frame);
            ASSERT_LT(cut.size(), frame.size());
            EXPECT_TRUE(std::equal(cut.begin(), cut.end(), frame.begin()));
        }
    }
    {
        FaultOptions o;
        o.garbleRate = 0.1;
        o.dropRate = 0.1;
        EXPECT_EQ(CFaultInjector(o, 5).Apply(frame), CFaultInjector(o, 5).Apply(frame)) << "seeded";
    }
}
