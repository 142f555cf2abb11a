#include "emulator/Options.h"

#include <charconv>
#include <cstdlib>

namespace kyto::emu {

namespace {

template <typename T>
bool Number(const std::string& text, T& out, int base = 10) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out, base);
    return r.ec == std::errc() && r.ptr == end && !text.empty();
}

bool Rate(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && out >= 0.0 && out <= 1.0;
}

}  // namespace

const char* UsageText() {
    return "usage: kyto-emu [options]\n"
           "Plays the Kyto module on a pseudo-terminal; prints the port path on the first line.\n"
           "  --link PATH           also make PATH a symlink to the port\n"
           "  --seed N              scene and fault seed (default 1)\n"
           "  --people N            people in the scene, 0..8 (default 3)\n"
           "  --frame-ms N          scene time between two captured frames (default 100)\n"
           "  --no-line-timing      send responses at once instead of at the line rate\n"
           "  --model NAME          model name reported by Get Version (default KYTO-EMU)\n"
           "  --version A.B.C       major.minor.release (default 1.0.0)\n"
           "  --revision N          revision (default 1)\n"
           "  --device-id N         device ID (default 1)\n"
           "  --full-size WxH       full image size for resolution codes 0 and 1 (default "
           "640x480)\n"
           "  --album-type N        album type at start without a state file (0..2, default 0)\n"
           "  --no-execute          answer Execute (0x03) as unknown: only ExecuteEx works\n"
           "  --disable HEX         answer this command code as unknown (repeatable)\n"
           "  --state FILE          flash memory: album restored at start, written by 0x22/0x30\n"
           "  --print-empty-album FILE  write the album block of an empty album and exit\n"
           "  --replay FILE         answer every command with the answer a recording\n"
           "                        (kyto detect --record) holds for it, in its order\n"
           "  --tcp-listen PORT     network adapter: serve a TCP host on 127.0.0.1:PORT\n"
           "                        instead of the pty (0 = any free port)\n"
           "  --tcp-connect PORT    network adapter: connect to a TCP host on 127.0.0.1:PORT\n"
           "  --udp-discovery PORT  answer the adapter's discovery datagrams on 127.0.0.1:PORT;\n"
           "                        the bound address is printed on the second line; hosts\n"
           "                        are served once a configuration datagram was accepted\n"
           "  --config-tag DIGITS   the six digits the adapter expects in its configuration\n"
           "                        datagram (default 123456)\n"
           "  --mode-byte HEX       byte 23 of the discovery reply (default 01 with\n"
           "                        --tcp-connect, 02 with --tcp-listen)\n"
           "  --delay-ms N          extra processing time per Execute frame\n"
           "  --drop-rate F         lose this fraction of response bytes\n"
           "  --garble-rate F       change this fraction of response bytes\n"
           "  --truncate-rate F     cut this fraction of responses short\n"
           "  --silent-after N      answer N frames, then nothing at all\n"
           "  --vanish-after N      answer N frames, then close the port and exit\n"
           "  --hangup-after N      over TCP: answer N frames, send half of the next answer\n"
           "                        and close the connection (once)\n"
           "  --verbose             log every command on standard error\n"
           "  --exit-with-parent    end when the process that started it ends\n";
}

bool ParseOptions(const std::vector<std::string>& args, EmulatorOptions& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto bad = [&](const std::string& v) {
            error = "bad value for " + a + ": '" + v + "'";
            return false;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--no-line-timing") {
            o.line.lineTiming = false;
        } else if (a == "--no-execute") {
            o.module.disabled.insert(0x03);
        } else if (a == "--exit-with-parent") {
            o.exitWithParent = true;
        } else if (a == "--verbose") {
            o.line.verbose = true;
        } else if (a == "--link") {
            if (!value(o.line.linkPath)) {
                return false;
            }
        } else if (a == "--state") {
            if (!value(o.module.stateFile)) {
                return false;
            }
        } else if (a == "--replay") {
            if (!value(o.replay)) {
                return false;
            }
        } else if (a == "--print-empty-album") {
            if (!value(o.printEmptyAlbum)) {
                return false;
            }
        } else if (a == "--model") {
            if (!value(o.module.model)) {
                return false;
            }
            if (o.module.model.empty() || o.module.model.size() > 12) {
                return bad(o.module.model);
            }
        } else if (a == "--seed") {
            if (!value(v) || !Number(v, o.module.seed)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--people") {
            if (!value(v) || !Number(v, o.module.people) || o.module.people < 0 ||
                o.module.people > CScene::kMaxPeople) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--frame-ms") {
            int ms = 0;
            if (!value(v) || !Number(v, ms) || ms <= 0) {
                return error.empty() ? bad(v) : false;
            }
            o.module.frameSeconds = ms / 1000.0;
        } else if (a == "--version") {
            if (!value(v)) {
                return false;
            }
            const auto d1 = v.find('.');
            const auto d2 = d1 == std::string::npos ? d1 : v.find('.', d1 + 1);
            if (d2 == std::string::npos || !Number(v.substr(0, d1), o.module.major) ||
                !Number(v.substr(d1 + 1, d2 - d1 - 1), o.module.minor) ||
                !Number(v.substr(d2 + 1), o.module.release) || o.module.major > 255 ||
                o.module.minor > 255 || o.module.release > 255 || o.module.major < 0 ||
                o.module.minor < 0 || o.module.release < 0) {
                return bad(v);
            }
        } else if (a == "--revision") {
            if (!value(v) || !Number(v, o.module.revision)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--device-id") {
            if (!value(v) || !Number(v, o.module.deviceId)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--full-size") {
            if (!value(v)) {
                return false;
            }
            const auto x = v.find('x');
            if (x == std::string::npos || !Number(v.substr(0, x), o.module.fullWidth) ||
                !Number(v.substr(x + 1), o.module.fullHeight) || o.module.fullWidth < 16 ||
                o.module.fullHeight < 12 || o.module.fullWidth > 8192 ||
                o.module.fullHeight > 8192) {
                return bad(v);
            }
        } else if (a == "--album-type") {
            if (!value(v) || !Number(v, o.module.albumType) || o.module.albumType < 0 ||
                o.module.albumType > 2) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--disable") {
            int code = 0;
            if (!value(v)) {
                return false;
            }
            std::string digits = v.rfind("0x", 0) == 0 ? v.substr(2) : v;
            if (!Number(digits, code, 16) || code < 0 || code > 255) {
                return bad(v);
            }
            o.module.disabled.insert(code);
        } else if (a == "--tcp-listen" || a == "--tcp-connect" || a == "--udp-discovery") {
            int port = 0;
            if (!value(v) || !Number(v, port) || port < 0 || port > 65535 ||
                (port == 0 && a == "--tcp-connect")) {
                return error.empty() ? bad(v) : false;
            }
            (a == "--tcp-listen"    ? o.line.tcpListenPort
             : a == "--tcp-connect" ? o.line.tcpConnectPort
                                    : o.line.udpPort) = port;
        } else if (a == "--delay-ms") {
            if (!value(v) || !Number(v, o.faults.delayMs) || o.faults.delayMs < 0) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--drop-rate") {
            if (!value(v) || !Rate(v, o.faults.dropRate)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--garble-rate") {
            if (!value(v) || !Rate(v, o.faults.garbleRate)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--truncate-rate") {
            if (!value(v) || !Rate(v, o.faults.truncateRate)) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--silent-after") {
            if (!value(v) || !Number(v, o.faults.silentAfter) || o.faults.silentAfter < 0) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--vanish-after") {
            if (!value(v) || !Number(v, o.faults.vanishAfter) || o.faults.vanishAfter < 0) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--hangup-after") {
            if (!value(v) || !Number(v, o.faults.hangupAfter) || o.faults.hangupAfter < 0) {
                return error.empty() ? bad(v) : false;
            }
        } else if (a == "--config-tag") {
            if (!value(o.line.configTag)) {
                return false;
            }
            if (o.line.configTag.size() != 6 ||
                o.line.configTag.find_first_not_of("0123456789") != std::string::npos) {
                return bad(o.line.configTag);
            }
        } else if (a == "--mode-byte") {
            if (!value(v)) {
                return false;
            }
            const std::string digits = v.rfind("0x", 0) == 0 ? v.substr(2) : v;
            if (!Number(digits, o.line.modeByte, 16) || o.line.modeByte < 0 ||
                o.line.modeByte > 255) {
                return bad(v);
            }
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (o.line.tcpListenPort >= 0 && o.line.tcpConnectPort >= 0) {
        error = "--tcp-listen and --tcp-connect exclude each other";
        return false;
    }
    const bool tcp = o.line.tcpListenPort >= 0 || o.line.tcpConnectPort >= 0;
    if (o.faults.hangupAfter >= 0 && !tcp) {
        error = "--hangup-after needs --tcp-listen or --tcp-connect";
        return false;
    }
    // A reply that sends the host the wrong way would leave both sides
    // listening (or both connecting).
    if (o.line.modeByte >= 0 && ((o.line.modeByte & 0x0F) == 1) != (o.line.tcpConnectPort >= 0)) {
        error =
            "--mode-byte with low four bits 1 tells the host to listen: use it with "
            "--tcp-connect, any other value with --tcp-listen";
        return false;
    }
    return true;
}

}  // namespace kyto::emu
