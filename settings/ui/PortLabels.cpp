// Device path, by-id name and USB description of a serial port, read from
// the file system (udev's links and sysfs); nothing is opened.

#include "settings/ui/PortLabels.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

// Keeps a text from the system printable on one line.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return out;
}

std::string ByIdName(const fs::path& device, const std::string& folder) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(device, ec);
    if (ec) {
        return {};
    }
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return {};
    }
    std::string best;
    for (const fs::directory_entry& entry : it) {
        std::error_code linkError;
        if (!entry.is_symlink(linkError)) {
            continue;
        }
        fs::path resolved = fs::read_symlink(entry.path(), linkError);
        if (linkError) {
            continue;
        }
        if (resolved.is_relative()) {
            resolved = entry.path().parent_path() / resolved;
        }
        std::error_code canonicalError;
        resolved = fs::weakly_canonical(resolved, canonicalError);
        if (canonicalError || resolved != target) {
            continue;
        }
        // Several links to one device: the first by name, so the label stays
        // the same from one refresh to the next.
        const std::string name = entry.path().filename().string();
        if (best.empty() || name < best) {
            best = name;
        }
    }
    return best;
}

// The USB device above the tty's device: the first ancestor folder that has
// an idVendor file (interface folders do not).
std::string UsbDescription(const std::string& ttyName, const std::string& sysClassTty) {
    std::error_code ec;
    fs::path device = fs::canonical(fs::path(sysClassTty) / ttyName / "device", ec);
    if (ec) {
        return {};
    }
    for (int depth = 0; depth < 6 && !device.empty() && device != device.root_path(); ++depth) {
        if (fs::exists(device / "idVendor", ec)) {
            const std::string manufacturer = ReadLine(device / "manufacturer");
            const std::string product = ReadLine(device / "product");
            std::string text = manufacturer;
            if (!product.empty()) {
                text += (text.empty() ? "" : " ") + product;
            }
            if (text.empty()) {
                text =
                    "USB " + ReadLine(device / "idVendor") + ":" + ReadLine(device / "idProduct");
            }
            return Printable(text);
        }
        device = device.parent_path();
    }
    return {};
}

}  // namespace

PortFacts LookUpPort(const std::string& path, const PortFactSources& sources) {
    PortFacts facts;
    facts.path = path;
    if (path.find('/') == std::string::npos) {
        return facts;  // "LAN", or a name that is no device path
    }
    facts.byIdName = Printable(ByIdName(path, sources.byIdFolder));
    facts.usbDescription = UsbDescription(fs::path(path).filename().string(), sources.sysClassTty);
    return facts;
}

std::string PortLabel(const PortFacts& facts) {
    std::string extra = facts.byIdName;
    if (!facts.usbDescription.empty()) {
        extra += (extra.empty() ? "" : "; ") + facts.usbDescription;
    }
    if (extra.empty()) {
        return facts.path;
    }
    return facts.path + "  (" + extra + ")";
}
