#include "settings/IniFile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>
#include <vector>

#include "base/AtomicFile.h"
#include "base/TextCodec.h"
#include "settings/FileOperate.h"

namespace {

// Serialises read-modify-write of every INI file in the process; together
// with the atomic replacement a write can neither lose another thread's write
// nor show a reader a half-written file.
std::mutex g_writeLock;

using IniLine = ini_detail::Line;
using IniDocument = ini_detail::Document;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s, std::size_t begin = 0, std::size_t end = std::string::npos) {
    end = std::min(end, s.size());
    while (begin < end && IsBlank(s[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(s[end - 1])) {
        --end;
    }
    return s.substr(begin, end - begin);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

// Section name of a "[name]" line, or false when the line is no section header.
bool SectionOf(const std::string& line, std::string& name) {
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    if (i >= line.size() || line[i] != '[') {
        return false;
    }
    const std::size_t close = line.find(']', i + 1);
    name = Trim(line, i + 1, close);
    return true;
}

// Key and value of a "key=value" line, or false for other lines.
bool KeyOf(const std::string& line, std::string& key, std::string* value) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    key = Trim(line, 0, eq);
    if (key.empty() || key[0] == ';') {
        return false;
    }
    if (value) {
        *value = Trim(line, eq + 1);
    }
    return true;
}

// Decodes the file bytes: a UTF-8 mark is skipped, UTF-16 files with a mark
// are accepted too (a write turns them into UTF-8), anything else is UTF-8
// with Latin-1 for invalid bytes.
std::string DecodeIni(const std::uint8_t* data, std::size_t size, std::string& bom) {
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        bom = "\xEF\xBB\xBF";
        return Utf8OrLatin1ToUtf8(reinterpret_cast<const char*>(data) + 3, size - 3);
    }
    if (size >= 2 &&
        ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        // Rewritten as UTF-8 with a mark, so that text starting with U+FEFF
        // keeps it on the next read.
        bom = "\xEF\xBB\xBF";
        return Utf16BytesToUtf8(data + 2, size - 2, data[0] == 0xFE);
    }
    return Utf8OrLatin1ToUtf8(reinterpret_cast<const char*>(data), size);
}

// Splits a file's bytes into lines.
IniDocument ParseIni(const std::uint8_t* data, std::size_t size) {
    IniDocument doc;
    const std::string text = DecodeIni(data, size, doc.bom);
    bool eolChosen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) {
            doc.lines.push_back(IniLine{text.substr(pos), std::string()});
            pos = text.size();
        } else {
            const bool crlf = lf > pos && text[lf - 1] == '\r';
            const std::size_t end = crlf ? lf - 1 : lf;
            doc.lines.push_back(
                IniLine{text.substr(pos, end - pos), std::string(crlf ? "\r\n" : "\n")});
            pos = lf + 1;
            if (!eolChosen) {
                doc.defaultEol = doc.lines.back().eol;
                eolChosen = true;
            }
        }
    }
    return doc;
}

// Reads and splits the file; a missing or unreadable file gives an empty document.
IniDocument LoadIni(const std::string& file) {
    std::vector<std::uint8_t> bytes;
    if (CFileOperate::ReadFileBytes(file, bytes) != 0) {
        return IniDocument{};
    }
    return ParseIni(bytes.data(), bytes.size());
}

// Index range [begin, end) of the body of the first section with this name;
// false when there is none.
bool FindSection(const IniDocument& doc, const std::string& section, std::size_t& begin,
                 std::size_t& end) {
    std::string name;
    std::size_t i = 0;
    for (; i < doc.lines.size(); ++i) {
        if (SectionOf(doc.lines[i].text, name) && EqualsNoCase(name, section)) {
            break;
        }
    }
    if (i == doc.lines.size()) {
        return false;
    }
    begin = i + 1;
    end = begin;
    while (end < doc.lines.size() && !SectionOf(doc.lines[end].text, name)) {
        ++end;
    }
    return true;
}

bool FindValue(const IniDocument& doc, const std::string& section, const std::string& key,
               std::string& value) {
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!FindSection(doc, section, begin, end)) {
        return false;
    }
    std::string name;
    for (std::size_t i = begin; i < end; ++i) {
        if (KeyOf(doc.lines[i].text, name, &value) && EqualsNoCase(name, key)) {
            return true;
        }
    }
    return false;
}

// Cuts a UTF-8 string to at most `limit` characters without splitting one.
std::string CutCharacters(const std::string& s, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == limit) {
                return s.substr(0, i);
            }
            ++chars;
        }
    }
    return s;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

void InsertLine(IniDocument& doc, std::size_t at, std::string text) {
    if (at > 0 && doc.lines[at - 1].eol.empty()) {
        doc.lines[at - 1].eol = doc.defaultEol;
    }
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at),
                     IniLine{std::move(text), doc.defaultEol});
}

}  // namespace

int ParseIniInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<std::int64_t>(INT_MAX) + 1) {
            value = static_cast<std::int64_t>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

int ReadIniString(const std::string& section, const std::string& key, const std::string& def,
                  const std::string& file, std::string& out) {
    std::string value;
    const IniDocument doc = LoadIni(file);
    out = CutCharacters(FindValue(doc, section, key, value) ? value : def, kIniMaxValueLength);
    return 0;
}

int ReadIniInt(const std::string& section, const std::string& key, int def, const std::string& file,
               int& out) {
    std::string text;
    ReadIniString(section, key, std::to_string(def), file, text);
    out = ParseIniInt(text);
    return 0;
}

namespace {

// Sets the key in the document; false when a name cannot be stored.
// `changed` tells whether the text differs now (a value already stored as a
// read would return it is left alone).
bool SetValue(IniDocument& doc, const std::string& section, const std::string& key,
              const std::string& value, bool& changed) {
    changed = true;
    const std::string keyName = Trim(key);
    const std::string sectionName = Trim(section);
    if (keyName.empty() || keyName[0] == ';' || keyName[0] == '[' ||
        keyName.find('=') != std::string::npos || HasLineBreak(keyName) ||
        sectionName.find(']') != std::string::npos || HasLineBreak(sectionName)) {
        return false;
    }
    // A line break would let the value forge further keys or sections.
    const std::string stored = value.substr(0, value.find_first_of("\r\n"));

    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindSection(doc, sectionName, begin, end)) {
        std::string name;
        std::string current;
        for (std::size_t i = begin; i < end; ++i) {
            if (KeyOf(doc.lines[i].text, name, &current) && EqualsNoCase(name, keyName)) {
                if (current == Trim(stored)) {
                    // Already stored as a read would return it: rewriting the
                    // file (a rename and two syncs) would change nothing.
                    changed = false;
                    return true;
                }
                doc.lines[i].text = name + "=" + stored;
                return true;
            }
        }
        // After the last non-blank line of the section, so that blank lines
        // separating it from the next section stay where they are.
        std::size_t at = end;
        while (at > begin && Trim(doc.lines[at - 1].text).empty()) {
            --at;
        }
        InsertLine(doc, at, keyName + "=" + stored);
    } else {
        InsertLine(doc, doc.lines.size(), "[" + sectionName + "]");
        InsertLine(doc, doc.lines.size(), keyName + "=" + stored);
    }
    return true;
}

std::string RenderIni(const IniDocument& doc) {
    std::string text = doc.bom;
    for (const IniLine& line : doc.lines) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

}  // namespace

int WriteIniString(const std::string& section, const std::string& key, const std::string& file,
                   const std::string& value) {
    std::lock_guard<std::mutex> lock(g_writeLock);
    IniDocument doc = LoadIni(file);
    bool changed = true;
    if (!SetValue(doc, section, key, value, changed)) {
        return -1;
    }
    if (!changed) {
        return 0;
    }
    const std::string text = RenderIni(doc);
    return WriteFileAtomically(file, text.data(), text.size());
}

CIniText::CIniText(const std::uint8_t* bytes, std::size_t size) : doc_(ParseIni(bytes, size)) {}

std::string CIniText::Read(const std::string& section, const std::string& key,
                           const std::string& def) const {
    std::string value;
    return CutCharacters(FindValue(doc_, section, key, value) ? value : def, kIniMaxValueLength);
}

bool CIniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    bool changed = true;
    return SetValue(doc_, section, key, value, changed);
}

std::string CIniText::Text() const {
    return RenderIni(doc_);
}

int WriteIniInt(const std::string& section, const std::string& key, const std::string& file,
                int value) {
    return WriteIniString(section, key, file, std::to_string(value));
}
