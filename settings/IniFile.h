#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The INI settings store. A file holds "[Section]" lines and "Key=Value"
// lines; section and key names are matched without regard to letter case,
// blanks around a value are not part of it, lines starting with ';' are
// comments. Files are UTF-8 (a leading byte-order mark is skipped; bytes that
// are not valid UTF-8 are read as Latin-1). A missing file, section or key is
// not an error: the reader hands back the default.

// Longest value a read returns, in characters; longer values are cut.
inline constexpr std::size_t kIniMaxValueLength = 511;

// 0; `out` receives the stored value or `def` when file, section or key is missing.
int ReadIniString(const std::string& section, const std::string& key, const std::string& def,
                  const std::string& file, std::string& out);

// 0; `out` receives the stored value read by ParseIniInt, or `def` when missing.
// A key that exists with an empty value reads as 0, not as the default.
int ReadIniInt(const std::string& section, const std::string& key, int def, const std::string& file,
               int& out);

// Sets one key, creating the file, the section or the key as needed; every
// other line keeps its text and place. The file is replaced atomically and
// writers in one process are serialised, so concurrent writes of different
// keys are never lost. 0 when written, -1 when the file could not be written
// (or a name could not be stored: empty key, a key holding '=', a section
// holding ']', or line breaks in either). A line break in the value ends it.
// A key that already holds the value (as a read would return it) leaves the
// file untouched.
int WriteIniString(const std::string& section, const std::string& key, const std::string& file,
                   const std::string& value);

// As WriteIniString with the value written as signed decimal text.
int WriteIniInt(const std::string& section, const std::string& key, const std::string& file,
                int value);

// The details of CIniText: the file as lines, with their line ends kept so
// that a rewrite changes nothing but the key it sets.
namespace ini_detail {
struct Line {
    std::string text;  // without the line end
    std::string eol;   // "\r\n", "\n" or "" for a last line without one
};
struct Document {
    std::string bom;  // kept when the file is rewritten
    std::vector<Line> lines;
    std::string defaultEol = "\n";
};
}  // namespace ini_detail

// The bytes of an INI file in memory, read and changed by the rules of the
// functions above, without a file (they are built on it): what ReadIniString
// would return, what WriteIniString would write. Parsed once, however many
// keys are read.
class CIniText {
public:
    CIniText() = default;
    CIniText(const std::uint8_t* bytes, std::size_t size);

    std::string Read(const std::string& section, const std::string& key,
                     const std::string& def) const;
    // false (nothing changed) where WriteIniString would refuse the names.
    bool Set(const std::string& section, const std::string& key, const std::string& value);
    std::string Text() const;

private:
    ini_detail::Document doc_;
};

// The integer rule of the store: leading blanks skipped, an optional sign,
// then decimal digits up to the first non-digit; no digits gives 0. Values
// beyond the int range saturate.
int ParseIniInt(const std::string& text);
