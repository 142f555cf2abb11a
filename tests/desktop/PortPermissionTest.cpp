// Advice for a serial port that refused to open for lack of permission: the
// owner group, the user's membership and the command that fixes it.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/PortPermission.h"
#include "settings/TestFiles.h"
#include "support/TempDir.h"

namespace {

PortAccessFacts Facts(gid_t group, const char* name, unsigned mode, bool member, bool session) {
    PortAccessFacts facts;
    facts.path = "/dev/ttyUSB0";
    facts.found = true;
    facts.group = group;
    facts.groupName = name;
    facts.mode = mode;
    facts.groupMember = member;
    facts.sessionMember = session;
    return facts;
}

TEST(PortPermission, AdviceFitsTheSituation) {
    struct Case {
        const char* what;
        PortAccessFacts facts;
        std::vector<std::string> says;
        std::vector<std::string> never;
    };
    const Case cases[] = {
        {"not in the group",
         Facts(20, "dialout", 0660, false, false),
         {"/dev/ttyUSB0", "group 'dialout'", "you are not in it",
          "`sudo usermod -aG dialout $USER`", "log out and in"},
         {"newgrp", "udev"}},
        {"added, but the session predates it",
         Facts(20, "dialout", 0660, true, false),
         {"group 'dialout'", "added to it", "log out and in", "newgrp dialout"},
         {"usermod"}},
        {"in the group and still refused",
         Facts(20, "dialout", 0660, true, true),
         {"you are in it", "ls -l /dev/ttyUSB0", "udev rule"},
         {"usermod"}},
        {"the group may not read and write",
         Facts(20, "dialout", 0600, false, false),
         {"group 'dialout'", "may not read and write", "udev rule"},
         {"usermod"}},
        {"owned by root's group",
         Facts(0, "root", 0660, false, false),
         {"group 'root'", "not a group to join", "udev rule"},
         {"usermod"}},
        {"a group without a name",
         Facts(4321, "", 0660, false, false),
         {"group '4321'", "udev rule"},
         {"usermod"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = DescribePortPermission(c.facts);
        for (const std::string& part : c.says) {
            EXPECT_NE(text.find(part), std::string::npos) << part << " missing in: " << text;
        }
        for (const std::string& part : c.never) {
            EXPECT_EQ(text.find(part), std::string::npos) << part << " unexpected in: " << text;
        }
    }
}

// The facts come from the device itself: here a file of the test's own group.
TEST(PortPermission, LooksUpTheDevice) {
    TempDir dir;
    PutFile("port", "");
    ASSERT_EQ(chmod("port", 0660), 0);
    const std::string path = (dir.Path() / "port").string();

    const PortAccessFacts facts = PortPermissionFacts(path);
    ASSERT_TRUE(facts.found) << facts.lookupError;
    EXPECT_EQ(facts.group, getegid());
    if (const group* g = getgrgid(getegid())) {
        EXPECT_EQ(facts.groupName, g->gr_name);
    }
    EXPECT_EQ(facts.mode, 0660u);
    EXPECT_TRUE(facts.sessionMember);

    const PortAccessFacts missing = PortPermissionFacts(path + ".gone");
    EXPECT_FALSE(missing.found);
    EXPECT_FALSE(missing.lookupError.empty());
    EXPECT_NE(DescribePortPermission(missing).find("could not be looked up"), std::string::npos);
}

}  // namespace
