#pragma once

#include <string>
#include <vector>

namespace kyto::link {

// Serial devices present on this machine, as paths under devDir, in natural
// order (ttyACM0, ttyS0, ttyUSB2, ttyUSB10). A class entry counts when it is
// backed by hardware: USB serial (ttyUSB*) and ACM (ttyACM*) entries with a
// device link, and UARTs with a device link whose port type is known. The
// legacy ttyS entries a kernel creates without hardware report type 0 and are
// left out; consoles, virtual terminals and pseudo-terminals have no device.
std::vector<std::string> ScanSerialDevices(const std::string& sysClassTty = "/sys/class/tty",
                                           const std::string& devDir = "/dev");

// Orders text with embedded decimal numbers by their value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace kyto::link
