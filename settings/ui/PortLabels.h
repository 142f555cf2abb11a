#pragma once

// What the connection dialog shows for a serial port, so that a user
// recognises the module among the ports: the device path first (what is
// stored and opened), then the stable /dev/serial/by-id name and the USB
// adapter's description where the system has them.
//
//   /dev/ttyUSB0  (usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0; FTDI FT232R USB UART)

#include <string>

struct PortFacts {
    std::string path;            // as listed: "/dev/ttyUSB0", "LAN"
    std::string byIdName;        // name of the /dev/serial/by-id link to it, "" none
    std::string usbDescription;  // "manufacturer product" of the USB device, "" none
};

// Where the facts come from; tests point both at a folder of their own.
struct PortFactSources {
    std::string byIdFolder = "/dev/serial/by-id";
    std::string sysClassTty = "/sys/class/tty";
};

PortFacts LookUpPort(const std::string& path, const PortFactSources& sources = {});

// The list entry: the path, then what else is known in brackets. The entry
// always begins with the path, so that a stored port name finds its entry by
// a prefix match.
std::string PortLabel(const PortFacts& facts);
