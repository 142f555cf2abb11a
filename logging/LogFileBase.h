#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "settings/FileOperate.h"

// Folder that holds every log file, relative to the working directory.
inline constexpr const char* kLogFolder = "./Log";

// Base of the three log files: owns the stream, its open mode and its path.
// Lines end in CR LF, as a text-mode stream on the module's original host
// writes them, so that the files read the same wherever they are opened.
class CLogFileBase : public CFileOperate {
public:
    CLogFileBase() = default;
    ~CLogFileBase() override;
    CLogFileBase(const CLogFileBase&) = delete;
    CLogFileBase& operator=(const CLogFileBase&) = delete;

    // Builds the path (MakePath) and opens it with the mode; 0 open, -1 not.
    virtual int Open();
    virtual void Close();
    virtual int Write(std::time_t time, const std::string& text);
    virtual std::string GetPath() const { return path_; }
    // Writes the text (UTF-8; malformed bytes become '?'), each LF as CR LF,
    // and flushes, so the file is complete even if the process stops abruptly.
    virtual void WriteString(const std::string& text);
    virtual void MakePath() {}

    bool IsOpen() const { return file_ != nullptr; }

protected:
    // Writes every line of the text without its trailing white space,
    // each followed by a line end (the text's last piece included).
    void WriteTrimmedLines(const std::string& text);

    std::FILE* file_ = nullptr;
    std::string mode_;
    std::string path_;

private:
    std::vector<char> buffer_;  // conversion buffer, reused, only grows
};

// Splits at every LF; the last piece is what follows the last LF (maybe empty).
std::vector<std::string> SplitLogLines(const std::string& text);
// Removes trailing blanks, tabs, CR, VT and FF.
std::string TrimTrailingWhiteSpace(const std::string& line);
// Local time in the strftime format.
std::string FormatLocalTime(std::time_t time, const char* format);
