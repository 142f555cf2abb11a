// The command table against the time-limit code table: every command finds
// its limit where the table says, and the commands without an entry are the
// ones the device manager gives its default limit.
#include <gtest/gtest.h>

#include <string>

#include "protocol/CommandTable.h"
#include "protocol/TimeLimits.h"

namespace {

TEST(CommandTable, AgreesWithTheTimeLimitTable) {
    int previous = -1;
    for (const CommandInfo& command : kCommands) {
        SCOPED_TRACE(command.code);
        EXPECT_GT(command.code, previous) << "codes ascending, each once";
        previous = command.code;
        EXPECT_EQ(&Command(command.code), &command);

        TimeLimitKind kind{};
        std::string key;
        const bool listed = DescribeTimeLimit(command.code, kind, key);
        ASSERT_EQ(listed, command.limit.has_value());
        if (listed) {
            EXPECT_EQ(kind, *command.limit);
            EXPECT_EQ(key, command.limitKey);
        }
    }
    // The four without an entry (Get Camera Resolution is only a check code).
    for (int code : {0x0B, 0x0C, 0x0D, 0xFF}) {
        TimeLimitKind kind{};
        std::string key;
        EXPECT_FALSE(DescribeTimeLimit(code, kind, key)) << code;
    }
}

}  // namespace
