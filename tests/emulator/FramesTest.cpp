#include <gtest/gtest.h>

#include "emulator/Frames.h"

TEST(Frames, Placeholder) { EXPECT_EQ(kyto::emu::kSync, 0xFE); }
