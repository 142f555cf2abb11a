#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "protocol/ResultRecords.h"

// A registered user's name, for the Recognition line.
struct UserName {
    int userId = -1;
    std::string name;
};

// Everything one result block is made from.
struct FrameTextInput {
    std::uint8_t functionFlags[11] = {};  // body ... verify, 1 = requested
    bool stabilisation = false;
    int status = 0;               // result code of the Execute exchange
    std::uint8_t returnCode = 0;  // the module's response code
    int verifyUserId = -1;        // the ID Verify compared against
    int responseTimeMs = 0;
};

// The separator that starts every block: 95 hyphens.
const std::string& ResultSeparator();

// The text block of one frame, lines ending in LF, closed by an empty line.
std::string BuildFrameBlock(const FrameTextInput& input, const CFrameResult& result,
                            const std::vector<UserName>& userNames);

// The header shown after connecting: separator, application and firmware lines.
std::string BuildVersionHeader(const std::string& applicationVersion,
                               const std::string& firmwareVersion);

// Name of the expression shown for a record: the top code unless one of the
// five scores beats its score (the earliest wins ties). Returns the selected
// code; 1..5 name Neutral..Sadness.
int SelectExpression(const CKytoExpressionRes& expression);

// The blocks a result pane keeps, oldest first, at most `limit` of them (a
// limit of 0 or less keeps one). The version header is added without the
// check but counts afterwards.
class ResultBlockList {
public:
    explicit ResultBlockList(int limit) : limit_(limit < 1 ? 1 : limit) {}
    // Returns true when the oldest block was dropped to make room.
    bool AddBlock(const std::string& block);
    void AddHeader(const std::string& header) { blocks_.push_back(header); }
    void Clear() { blocks_.clear(); }
    const std::deque<std::string>& Blocks() const { return blocks_; }
    int Limit() const { return limit_; }

private:
    int limit_;
    std::deque<std::string> blocks_;
};
