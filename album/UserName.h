#pragma once

#include <cstddef>
#include <string>

// Longest name an album file can carry: its name field holds 128 UTF-16 code
// units.
inline constexpr std::size_t kMaxNameUnits = 128;

enum class NameCheck {
    kOk,         // stored as given
    kCut,        // longer than kMaxNameUnits: shortened, the caller tells the user
    kLineBreak,  // holds CR or LF: refused, it would split the one-line name field
};

// Prepares a name typed by the user for the store. Names with line breaks
// are refused (returned unchanged); overlong names are cut in place.
NameCheck PrepareUserName(std::string& name);

// Number of UTF-16 code units the UTF-8 text takes (a stray byte counts one).
std::size_t Utf16Units(const std::string& utf8);

// The longest prefix of the text that takes at most maxUnits UTF-16 code
// units, never ending inside a character (so no surrogate pair is split).
std::string CutToUtf16Units(const std::string& utf8, std::size_t maxUnits);

bool HasLineBreak(const std::string& text);

// Removes every CR and LF (names read from album files of other sources).
std::string WithoutLineBreaks(const std::string& text);

// Message for the user about a name that PrepareUserName did not keep as is.
std::string NameCheckMessage(NameCheck check);
