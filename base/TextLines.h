#pragma once

// The line codec of the text files: the registered-user store writes UTF-16LE
// with a byte-order mark and CR LF after every line, and the readers accept
// whatever form a file was written in (UTF-16 with or without mark, 8-bit
// text). One encoder and one line splitter serve every file of that kind.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// UTF-16LE with the mark FF FE, each line (the last one too) followed by CR LF.
std::vector<std::uint8_t> EncodeUtf16Lines(const std::vector<std::string>& lines);

// Appends the lines of a whole text file, decoded to UTF-8 by the form
// DetectTextForm finds. Lines end at LF; carriage returns before a LF are
// dropped, empty lines are kept, and text after the last LF is a last line
// when it is not empty (keeping a final CR).
void DecodeTextLines(const std::uint8_t* data, std::size_t size, std::vector<std::string>& lines);
