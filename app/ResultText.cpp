#include "app/ResultText.h"

#include <cstdarg>
#include <cstdio>

#include "protocol/RawDetectResult.h"

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) {
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof text) {
        return std::string(text, static_cast<std::size_t>(n));
    }
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(out.data(), out.size(), format, args);
    va_end(args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

const char* OnOff(std::uint8_t flag) {
    return flag == 1 ? "On" : "Off";
}

const char* kStableMark = " (*)";

std::string DetectLine(int index, const CKytoDetectRes& d, bool withTracking) {
    if (withTracking && d.trackingId >= 0) {
        return Format("    Index:%d    \tX:%d Y:%d Size:%d Confidence:%d TrackingID:%d", index, d.x,
                      d.y, d.size, d.confidence, d.trackingId);
    }
    return Format("    Index:%d    \tX:%d Y:%d Size:%d Confidence:%d", index, d.x, d.y, d.size,
                  d.confidence);
}

const char* ExpressionName(int code) {
    static const char* const kNames[] = {"Neutral", "Happiness", "Surprise", "Anger", "Sadness"};
    return code >= 1 && code <= 5 ? kNames[code - 1] : "";
}

std::string NameOf(int userId, const std::vector<UserName>& names) {
    if (userId == kNoUserMatched) {
        return "Not registered";
    }
    for (const UserName& user : names) {
        if (user.userId == userId) {
            return user.name;
        }
    }
    return {};
}

// The estimation lines of one face, each without its leading tab.
std::vector<std::string> EstimationLines(const std::uint8_t* f, const FaceResult& face,
                                         int verifyUserId, const std::vector<UserName>& names) {
    std::vector<std::string> lines;
    if (f[kFuncDirection] == 1) {
        const CKytoDirectRes& d = face.direction;
        lines.push_back(Format("    Direction   \tYaw:%d Pitch:%d Roll:%d Confidence:%d", d.yaw,
                               d.pitch, d.roll, d.confidence));
    }
    if (f[kFuncAge] == 1) {
        const CKytoAgeRes& a = face.age;
        if (a.age == kNoEstimate) {
            lines.push_back("    Age         \tEstimation not possible.");
        } else {
            lines.push_back(Format("    Age         \tAge:%d Confidence:%d", a.age, a.confidence) +
                            (a.state == kStateSettled ? kStableMark : ""));
        }
    }
    if (f[kFuncGender] == 1) {
        const CKytoGenderRes& g = face.gender;
        if (g.gender == kNoEstimate) {
            lines.push_back("    Gender      \tEstimation not possible.");
        } else {
            lines.push_back(Format("    Gender      \tGender:%s Confidence:%d",
                                   g.gender == 1 ? "Male" : "Female", g.confidence) +
                            (g.state == kStateSettled ? kStableMark : ""));
        }
    }
    if (f[kFuncGaze] == 1) {
        const CKytoGazeRes& g = face.gaze;
        if (g.yaw == kNoEstimate || g.pitch == kNoEstimate) {
            lines.push_back("    Gaze        \tEstimation not possible.");
        } else {
            lines.push_back(Format("    Gaze        \tYaw:%d Pitch:%d", g.yaw, g.pitch));
        }
    }
    if (f[kFuncBlink] == 1) {
        const CKytoBlinkRes& b = face.blink;
        if (b.left == kNoEstimate || b.right == kNoEstimate) {
            lines.push_back("    Blink       \tEstimation not possible.");
        } else {
            lines.push_back(Format("    Blink       \tLeft:%d Right:%d", b.left, b.right));
        }
    }
    if (f[kFuncExpression] == 1) {
        const CKytoExpressionRes& e = face.expression;
        const int selected = SelectExpression(e);
        if (selected == kNoEstimate) {
            lines.push_back("    Expression  \tEstimation not possible.");
        } else if (e.score == kNoEstimate) {
            lines.push_back(Format(
                "    Expression  \tExpression:%s Score: Neutral:%d, Happiness:%d, Surprise:%d, "
                "Anger:%d, Sadness:%d Degree:%d",
                ExpressionName(selected), e.scores[0], e.scores[1], e.scores[2], e.scores[3],
                e.scores[4], e.degree));
        } else {
            lines.push_back(Format("    Expression  \tExpression:%s Score:%d Degree:%d",
                                   ExpressionName(selected), e.score, e.degree));
        }
    }
    if (f[kFuncRecognition] == 1) {
        const CKytoRecognitionRes& r = face.recognition;
        if (r.userId == kNoEstimate) {
            lines.push_back("    Recognition \tRecognition not possible.");
        } else if (r.userId == kNoDataRegistered) {
            lines.push_back("    Recognition \tData not registered.");
        } else {
            lines.push_back("    Recognition \t" + NameOf(r.userId, names) +
                            Format(" Confidence:%d", r.score) +
                            (r.state == kStateSettled ? kStableMark : ""));
        }
    }
    if (f[kFuncVerify] == 1) {
        const CKytoVerifyRes& v = face.verify;
        if (v.result == kVerifyMatch) {
            lines.push_back(Format("    Verify      \tID:%d OK Score:%d", verifyUserId, v.score));
        } else if (v.result == kVerifyNoMatch) {
            lines.push_back(Format("    Verify      \tID:%d NG Score:%d", verifyUserId, v.score));
        } else if (v.score == kNoEstimate) {
            lines.push_back("    Verify      \tRecognition not possible.");
        } else if (v.score == kNoDataRegistered) {
            lines.push_back("    Verify      \tData not registered.");
        } else {
            lines.push_back("    Verify      \tUser ID not selected.");
        }
    }
    return lines;
}

void AppendDetectSection(std::string& out, const char* countFormat,
                         const std::vector<CKytoDetectRes>& list, bool withTracking) {
    out += '\t';
    out += Format(countFormat, static_cast<int>(list.size()));
    out += '\n';
    for (std::size_t i = 0; i < list.size(); ++i) {
        out += '\t';
        out += DetectLine(static_cast<int>(i), list[i], withTracking);
        out += '\n';
    }
}

std::string FaceSection(const std::uint8_t* f, const CFrameResult& result, int verifyUserId,
                        const std::vector<UserName>& names) {
    std::string section = Format(" Face count:%d\n", result.FaceCount());
    for (std::size_t i = 0; i < result.faces.size(); ++i) {
        const FaceResult& face = result.faces[i];
        section += '\t';
        section += DetectLine(static_cast<int>(i), face.detect, true);
        section += '\n';
        const std::vector<std::string> lines = EstimationLines(f, face, verifyUserId, names);
        for (const std::string& line : lines) {
            section += '\t';
            section += line;
            section += '\n';
        }
        if (f[kFuncVerify] == 1 || !lines.empty()) {
            section += "\t      --\n";
        }
    }
    // The section never ends with a "--" line or blank space.
    std::size_t end = section.size();
    while (end > 0) {
        const char c = section[end - 1];
        if (c != '\t' && c != ' ' && c != '-' && c != '\n') {
            break;
        }
        --end;
    }
    section.resize(end);
    return "\t" + section + "\n";
}

}  // namespace

const std::string& ResultSeparator() {
    static const std::string kSeparator(95, '-');
    return kSeparator;
}

int SelectExpression(const CKytoExpressionRes& e) {
    int selected = e.expression;
    int best = e.score;
    for (int i = 0; i < 5; ++i) {
        if (e.scores[i] > best) {
            best = e.scores[i];
            selected = i + 1;
        }
    }
    return selected;
}

std::string BuildFrameBlock(const FrameTextInput& in, const CFrameResult& result,
                            const std::vector<UserName>& userNames) {
    const std::uint8_t* f = in.functionFlags;
    std::string out = ResultSeparator() + "\n";
    out += "Execute ";
    out += Format(
        "Body:%s Hand:%s Face:%s Dir.:%s Age:%s Gender:%s Gaze:%s Blink:%s Expr.:%s Recog.:%s "
        "Vefiry:%s",
        OnOff(f[0]), OnOff(f[1]), OnOff(f[2]), OnOff(f[3]), OnOff(f[4]), OnOff(f[5]), OnOff(f[6]),
        OnOff(f[7]), OnOff(f[8]), OnOff(f[9]), OnOff(f[10]));
    out += '\n';
    out += "        Stabilization:";
    out += in.stabilisation ? "On" : "Off";
    out += '\n';
    out += "Result  ";
    out += Format("Response time:%dms  Return code:%02x", in.responseTimeMs, in.returnCode);
    out += '\n';

    if (in.status == 0) {
        if (in.returnCode == 0) {
            if (f[kFuncBody] == 1) {
                AppendDetectSection(out, " Body count:%d", result.bodies, true);
            }
            if (f[kFuncHand] == 1) {
                AppendDetectSection(out, " Hand count:%d", result.hands, false);
            }
            if (f[kFuncFace] == 1) {
                out += FaceSection(f, result, in.verifyUserId, userNames);
            }
        }
    } else if (in.status == -31 || in.status == -30 || in.status == -21) {
        out += "Communication error.\n";
    } else if (in.status == -22 || in.status == -20) {
        out += "Device is not responding.\n";
    } else {
        // No text is defined for other failures; the line stays empty.
        out += '\n';
    }
    out += '\n';
    return out;
}

std::string BuildVersionHeader(const std::string& applicationVersion,
                               const std::string& firmwareVersion) {
    return ResultSeparator() + "\n" + "Kyto Demo\t" + applicationVersion + "\n" + "Firmware\t" +
           firmwareVersion + "\n";
}

bool ResultBlockList::AddBlock(const std::string& block) {
    bool dropped = false;
    while (!blocks_.empty() && static_cast<int>(blocks_.size()) >= limit_) {
        blocks_.pop_front();
        dropped = true;
    }
    blocks_.push_back(block);
    return dropped;
}
