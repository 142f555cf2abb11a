#pragma once

#include <QColor>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/OverlayStyle.h"
#include "protocol/ResultRecords.h"

// Positions of the eleven display flags.
enum OverlayFunction : int {
    kShowBody = 0,
    kShowHand,
    kShowFace,
    kShowDirection,
    kShowAge,
    kShowGender,
    kShowGaze,
    kShowBlink,
    kShowExpression,
    kShowRecognition,
    kShowVerify,
    kShowCount
};

// Name of a registered user by user ID (from the registered-user store).
using UserNameLookup = std::function<std::string(int userId)>;

struct OverlayLabel {
    std::string text;
    QColor textColour;
    QColor backColour;
};

// Which expression to show: the five scores win over the top code when one
// of them beats the score byte (the five-score form carries -128 there).
// Returns 1..5 (neutral, happiness, surprise, anger, sadness) or whatever
// the record's code holds when no score beats it (-128: no estimate).
int ChooseExpressionIndex(const CKytoExpressionRes& expression);

// The label stack of one face, top to bottom: recognition (or verify when
// recognition is not shown), age, gender, expression. Records that were
// never filled add no label.
std::vector<OverlayLabel> BuildFaceLabels(const FaceResult& face, const std::uint8_t flags[11],
                                          const OverlayStyle& style, const UserNameLookup& names);
