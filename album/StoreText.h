#pragma once

#include <string>

// Reads a signed decimal number the way the store's text files are read:
// leading white space and a sign allowed, digits up to the first other
// character, 0 when no digit follows. Values beyond int saturate.
int ParseDecimal(const std::string& text);

// "%03d" and "%02d" path parts of the store.
std::string ThreeDigits(int value);
std::string TwoDigits(int value);

// Today's local date as "%Y/%m/%d".
std::string TodayDate();
