#include "app/ModuleFiles.h"

#include <climits>

#include "settings/IniFile.h"

namespace {

bool IsComment(const std::string& line) {
    return !line.empty() && line[0] == ';';
}

std::vector<std::string> WithoutComments(const std::vector<std::string>& lines) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (!IsComment(line)) {
            kept.push_back(line);
        }
    }
    return kept;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct KnownResolution {
    int width, height, code;
};
constexpr KnownResolution kKnownResolutions[] = {
    {640, 480, 1}, {800, 600, 1}, {1280, 960, 2}, {1600, 1200, 3}};

}  // namespace

int ParseCommandCode(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == '0' || text[i] == 'x')) {
        ++i;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + digit;
        if (value > INT_MAX) {
            return INT_MAX;
        }
    }
    return static_cast<int>(value);
}

std::vector<std::string> SplitFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find(separator, start);
        if (at == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, at - start));
        start = at + 1;
    }
}

int KnownResolutionCode(int width, int height) {
    for (const KnownResolution& known : kKnownResolutions) {
        if (known.width == width && known.height == height) {
            return known.code;
        }
    }
    return 0;
}

int ParseDefaultSettings(const std::vector<std::string>& lines, DefaultSettings& out) {
    const std::vector<std::string> data = WithoutComments(lines);
    if (data.size() < 4) {
        return -1;
    }
    const std::vector<std::string> thresholds = SplitFields(data[0], '\t');
    if (thresholds.size() < 5) {
        return -1;
    }
    const std::vector<std::string> ranges = SplitFields(data[1], '\t');
    if (ranges.size() < 6) {
        return -1;
    }
    const std::vector<std::string> angles = SplitFields(data[2], '\t');
    if (angles.size() < 2) {
        return -1;
    }
    DefaultSettings parsed;
    for (int i = 0; i < 5; ++i) {
        parsed.settings.thresholds[i] = ParseIniInt(thresholds[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < 3; ++i) {
        parsed.settings.ranges[i].min = ParseIniInt(ranges[static_cast<std::size_t>(2 * i)]);
        parsed.settings.ranges[i].max = ParseIniInt(ranges[static_cast<std::size_t>(2 * i + 1)]);
    }
    parsed.settings.yawCode = ParseIniInt(angles[0]);
    parsed.settings.rollCode = ParseIniInt(angles[1]);
    parsed.resolutionCode = ParseIniInt(data[3]);
    out = parsed;
    return 0;
}

std::vector<ResolutionList> ParseResolutionLists(const std::vector<std::string>& lines) {
    std::vector<ResolutionList> lists;
    lists.push_back({"", {{640, 480, 0}}});
    for (const std::string& line : lines) {
        if (IsComment(line)) {
            continue;
        }
        const std::vector<std::string> fields = SplitFields(line, '\t');
        if (fields.size() < 2) {
            continue;
        }
        std::vector<std::pair<int, int>> sizes;
        bool malformed = false;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            const std::vector<std::string> parts = SplitFields(fields[i], ',');
            if (parts.size() < 2) {
                malformed = true;
                break;
            }
            sizes.emplace_back(ParseIniInt(parts[0]), ParseIniInt(parts[1]));
        }
        if (malformed) {
            continue;
        }
        ResolutionList list{fields[0], {}};
        for (const auto& [width, height] : sizes) {
            const int code = KnownResolutionCode(width, height);
            if (code != 0) {
                list.resolutions.push_back({width, height, code});
            }
        }
        if (!list.resolutions.empty()) {
            lists.push_back(std::move(list));
        }
    }
    return lists;
}

std::vector<CommandList> ParseCommandLists(const std::vector<std::string>& lines) {
    std::vector<std::vector<std::string>> blocks;
    std::vector<std::string> current;
    for (const std::string& line : lines) {
        if (line.empty()) {
            if (!current.empty()) {
                blocks.push_back(std::move(current));
                current.clear();
            }
        } else if (!IsComment(line)) {
            current.push_back(line);
        }
    }
    if (!current.empty()) {
        blocks.push_back(std::move(current));
    }
    std::vector<CommandList> lists;
    for (const std::vector<std::string>& block : blocks) {
        CommandList list{block[0], {}};
        for (std::size_t i = 1; i < block.size(); ++i) {
            list.codes.push_back(ParseCommandCode(block[i]));
        }
        lists.push_back(std::move(list));
    }
    return lists;
}
