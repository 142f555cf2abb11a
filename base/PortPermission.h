#pragma once

// Help for a serial port that refused to open for lack of permission: which
// group owns the device, whether the user belongs to it (in the user database,
// and in the running session, which only learns of a new group at the next
// login), and the exact command that fixes it. `kyto` prints the text; the
// connection dialog shows the same text.

#include <sys/types.h>
#include <string>

// What the advice is made of; PortPermissionFacts(path) looks them up.
struct PortAccessFacts {
    std::string path;
    bool found = false;       // the device could be examined
    std::string lookupError;  // why not, when !found
    gid_t group = 0;
    std::string groupName;       // empty when the group has no name
    unsigned mode = 0;           // permission bits of the device
    bool groupMember = false;    // the user is in the group (user database)
    bool sessionMember = false;  // the running process has the group
};

PortAccessFacts PortPermissionFacts(const std::string& path);

// The advice for a port that failed with EACCES or EPERM, in one paragraph.
std::string DescribePortPermission(const PortAccessFacts& facts);
std::string DescribePortPermission(const std::string& path);
