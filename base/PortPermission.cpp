// Looks up the owner group of a device and the user's membership, and turns
// them into advice (see PortPermission.h).
#include "base/PortPermission.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

bool SessionHasGroup(gid_t group) {
    if (::getegid() == group) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) {
        return false;
    }
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<size_t>(i)] == group) {
            return true;
        }
    }
    return false;
}

// Membership as the next login will see it.
bool UserDatabaseHasGroup(gid_t group) {
    const passwd* user = ::getpwuid(::getuid());
    if (!user || !user->pw_name) {
        return false;
    }
    if (user->pw_gid == group) {
        return true;
    }
    const std::string name = user->pw_name;
    const gid_t primary = user->pw_gid;
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 4; ++attempt) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.c_str(), primary, groups.data(), &count) >= 0) {
            groups.resize(static_cast<size_t>(count));
            break;
        }
        groups.clear();
    }
    for (gid_t g : groups) {
        if (g == group) {
            return true;
        }
    }
    return false;
}

}  // namespace

PortAccessFacts PortPermissionFacts(const std::string& path) {
    PortAccessFacts facts;
    facts.path = path;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        facts.lookupError = std::strerror(errno);
        return facts;
    }
    facts.found = true;
    facts.group = st.st_gid;
    facts.mode = st.st_mode & 07777;
    if (const group* g = ::getgrgid(st.st_gid); g && g->gr_name) {
        facts.groupName = g->gr_name;
    }
    facts.groupMember = UserDatabaseHasGroup(st.st_gid);
    facts.sessionMember = SessionHasGroup(st.st_gid);
    return facts;
}

std::string DescribePortPermission(const PortAccessFacts& facts) {
    const std::string denied = "Permission denied on " + facts.path + ". ";
    constexpr const char* kRule =
        "The udev rule example shipped with Kyto Demo gives the module's adapter to the group "
        "dialout with read and write access (see \"Serial port permissions\" in the README).";
    if (!facts.found) {
        return denied + "Its owner could not be looked up (" + facts.lookupError + "). " + kRule;
    }
    const std::string name =
        facts.groupName.empty() ? std::to_string(facts.group) : facts.groupName;
    const std::string owner = "The device belongs to the group '" + name + "'";
    // Joining a group helps only when the group may read and write.
    if ((facts.mode & 060) != 060) {
        return denied + owner + ", which may not read and write it. " + kRule;
    }
    // Nobody should join root (or a nameless group) to reach a port.
    if (facts.group == 0 || facts.groupName.empty()) {
        return denied + owner + ", which is not a group to join. " + kRule;
    }
    if (facts.sessionMember) {
        return denied + owner + " and you are in it, yet access was refused: check `ls -l " +
               facts.path + "` and whether another rule or program restricts it. " + kRule;
    }
    if (facts.groupMember) {
        return denied + owner +
               ". You were added to it, but this session started before: log out and in "
               "again (or start a shell with `newgrp " +
               name + "`).";
    }
    return denied + owner + " and you are not in it. Join it with `sudo usermod -aG " + name +
           " $USER`, then log out and in again.";
}

std::string DescribePortPermission(const std::string& path) {
    return DescribePortPermission(PortPermissionFacts(path));
}
