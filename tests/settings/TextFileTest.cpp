#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "base/TextCodec.h"
#include "settings/FileOperate.h"
#include "support/TempDir.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReadLines(const std::string& bytes) {
    PutFile("in.txt", bytes);
    Lines lines;
    EXPECT_EQ(CFileOperate::ReadTextLines("in.txt", lines), 0);
    return lines;
}

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

TEST(TextReader, EncodingsAndLineRules) {
    TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
        Lines expected;
    } cases[] = {
        {"UTF-16LE with mark, CR LF CR LF",
         Bytes({0xFF, 0xFE, 'A', 0, 0x0D, 0, 0x0A, 0, 0x0D, 0, 0x0A, 0, 'B', 0}),
         {"A", "", "B"}},
        {"UTF-16BE with mark", Bytes({0xFE, 0xFF, 0, 'A', 0, 0x0A, 0, 'B'}), {"A", "B"}},
        {"UTF-16BE without mark", Bytes({0, 'A', 0, 0x0D, 0, 0x0A, 0, 'B'}), {"A", "B"}},
        {"UTF-16LE without mark", Bytes({'A', 0, 0x0A, 0, 'B', 0}), {"A", "B"}},
        {"UTF-16LE without mark, ideographic space only",
         Bytes({'A', 0, 0x00, 0x30, 'B', 0}),
         {"A\xE3\x80\x80"
          "B"}},
        {"odd last byte of UTF-16 ignored", Bytes({0xFF, 0xFE, 'A', 0, 'B'}), {"A"}},
        {"surrogate pair", Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), {"\xF0\x9F\x98\x80"}},
        {"unpaired surrogate", Bytes({0xFF, 0xFE, 0x3D, 0xD8, 'x', 0}), {"\xEF\xBF\xBDx"}},
        {"8-bit CR LF", "a\r\nb", {"a", "b"}},
        {"8-bit LF LF keeps the empty line", "a\n\n", {"a", ""}},
        {"every CR before LF dropped", "a\r\r\nb\n", {"a", "b"}},
        {"last line keeps its CR", "A\nB\r", {"A", "B\r"}},
        {"CR in the middle kept", "a\rb\n", {"a\rb"}},
        {"invalid UTF-8 read as Latin-1", "caf\xE9\n\xFF", {"caf\xC3\xA9", "\xC3\xBF"}},
        {"valid UTF-8 kept, UTF-8 mark dropped",
         "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9",
         {"\xC3\xA9t\xC3\xA9"}},
        {"overlong UTF-8 is not UTF-8", "\xC0\xAF", {"\xC3\x80\xC2\xAF"}},
        {"empty file", "", {}},
        {"only a line feed", "\n", {""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadLines(c.bytes), c.expected) << c.name;
    }
}

TEST(TextReader, AppendsAndLeavesTheListAloneOnFailure) {
    TempDir dir;
    PutFile("in.txt", "x\ny");
    Lines lines = {"kept"};
    ASSERT_EQ(CFileOperate::ReadTextLines("in.txt", lines), 0);
    EXPECT_EQ(lines, (Lines{"kept", "x", "y"}));
    EXPECT_EQ(CFileOperate::ReadTextLines("missing.txt", lines), -1);
    EXPECT_EQ(CFileOperate::ReadTextLines("", lines), -1);
    std::filesystem::create_directory("adir");
    EXPECT_EQ(CFileOperate::ReadTextLines("adir", lines), -1);
    EXPECT_EQ(lines, (Lines{"kept", "x", "y"}));
}

TEST(FileReader, OnlyRegularFilesUpToTheirCap) {
    TempDir dir;
    // A FIFO without a writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo("pipe", 0600), 0);
    std::filesystem::create_directory("folder");
    PutFile("ten", std::string(10, 'x'));
    const struct {
        const char* path;
        std::size_t cap;
        int result;
    } cases[] = {
        {"pipe", 100, -1}, {"folder", 100, -1}, {"/dev/zero", 100, -1}, {"/dev/null", 100, -1},
        {"ten", 9, -1},    {"ten", 10, 0},      {"missing", 100, -1},   {"", 100, -1},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out{1, 2, 3};
        EXPECT_EQ(CFileOperate::ReadFileBytes(c.path, out, c.cap), c.result) << c.path;
        EXPECT_EQ(out.size(), c.result == 0 ? 10u : 3u) << c.path;
    }
    Lines lines;
    EXPECT_EQ(CFileOperate::ReadTextLines("pipe", lines), -1);
}

TEST(TextWriter, WritesUtf16LeWithMarkAndCrLf) {
    TempDir dir;
    ASSERT_EQ(CFileOperate::WriteTextLines("User.dat", {"007", "012"}), 0);
    EXPECT_EQ(GetFile("User.dat"),
              Bytes({0xFF, 0xFE, 0x30, 0x00, 0x30, 0x00, 0x37, 0x00, 0x0D, 0x00, 0x0A,
                     0x00, 0x30, 0x00, 0x31, 0x00, 0x32, 0x00, 0x0D, 0x00, 0x0A, 0x00}));
    Lines back;
    ASSERT_EQ(CFileOperate::ReadTextLines("User.dat", back), 0);
    EXPECT_EQ(back, (Lines{"007", "012"}));

    const Lines text = {"M\xC3\xBCller", "", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80", ""};
    ASSERT_EQ(CFileOperate::WriteTextLines("names.dat", text), 0);
    back.clear();
    ASSERT_EQ(CFileOperate::ReadTextLines("names.dat", back), 0);
    EXPECT_EQ(back, text);

    ASSERT_EQ(CFileOperate::WriteTextLines("none.dat", {}), 0);
    EXPECT_EQ(GetFile("none.dat"), "\xFF\xFE");
    EXPECT_EQ(CFileOperate::WriteTextLines("missing/x.dat", {"a"}), -1);
}

TEST(TextCodec, Utf16RoundTrip) {
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    const std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x65E5, 0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf8ToUtf16("\xE9"), std::u16string(1, 0xE9));  // Latin-1 fallback
}

TEST(SplitText, PiecesBetweenSeparators) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(CFileOperate::SplitText("a\t\tb", '\t'), (Pieces{"a", "", "b"}));
    EXPECT_EQ(CFileOperate::SplitText("", '\t'), (Pieces{""}));
    EXPECT_EQ(CFileOperate::SplitText("a\t", '\t'), (Pieces{"a", ""}));
    EXPECT_EQ(CFileOperate::SplitText("640,480", ','), (Pieces{"640", "480"}));
    EXPECT_EQ(CFileOperate::SplitText("abc", ','), (Pieces{"abc"}));
}

}  // namespace
