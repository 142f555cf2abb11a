#pragma once

// The captions of the eleven detection functions, in flag order (body ...
// verify): the function selection buttons, the panel's toggle buttons and
// the list of functions in use all say them the same way.

#include <QString>

inline constexpr int kFunctionCaptionCount = 11;

inline QString FunctionCaption(int index) {
    static const char* const captions[kFunctionCaptionCount] = {
        "Human Body", "Hand",  "Face",       "Direction",   "Age",   "Gender",
        "Gaze",       "Blink", "Expression", "Recognition", "Verify"};
    return index >= 0 && index < kFunctionCaptionCount ? QString::fromLatin1(captions[index])
                                                       : QString();
}
