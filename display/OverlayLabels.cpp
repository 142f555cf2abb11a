#include "display/OverlayLabels.h"

#include <algorithm>

namespace {

const QColor kBlack(0, 0, 0);
const QColor kIdentity(255, 204, 0);  // recognition, verify and age text
const QColor kUnknownGender(240, 240, 240);
const QColor kMale(0, 255, 255);
const QColor kFemale(246, 173, 198);
const QColor kUnknownExpression(255, 0, 255);

struct ExpressionName {
    const char* text;
    QColor colour;
};
const ExpressionName kExpressions[5] = {
    {"Neutral", QColor(240, 240, 240)}, {"Happiness", QColor(240, 240, 0)},
    {"Surprise", QColor(255, 102, 0)},  {"Anger", QColor(255, 0, 255)},
    {"Sadness", QColor(0, 255, 255)},
};

bool Shown(const std::uint8_t flags[11], int function) {
    return flags[function] != 0;
}

OverlayLabel RecognitionLabel(const CKytoRecognitionRes& rec, const OverlayStyle& style,
                              const UserNameLookup& names) {
    OverlayLabel label{"", kIdentity, kBlack};
    switch (rec.userId) {
        case kNoUserMatched:
            label.text = "Not registered";
            break;
        case kNoEstimate:
            label.text = "?";
            break;
        case kNoDataRegistered:
            label.text = "Data not registered";
            break;
        default:
            label.text = names ? names(rec.userId) : std::to_string(rec.userId);
            break;
    }
    if (rec.state == kStateStabilising) {
        label.textColour = style.recogStabilising;
        label.backColour = style.backStabilising;
    }
    return label;
}

OverlayLabel VerifyLabel(const CKytoVerifyRes& verify) {
    OverlayLabel label{"", kIdentity, kBlack};
    if (verify.result == kVerifyMatch) {
        label.text = "OK";
    } else if (verify.result == kVerifyNoMatch) {
        label.text = "NG";
    } else if (verify.score == kNoEstimate) {
        label.text = "?";
    } else if (verify.score == kNoDataRegistered) {
        label.text = "Data not registered";
    } else {
        label.text = "User ID not selected";
    }
    return label;
}

OverlayLabel AgeLabel(const CKytoAgeRes& age, const OverlayStyle& style) {
    OverlayLabel label{age.age == kNoEstimate ? "?" : std::to_string(age.age), kIdentity, kBlack};
    if (age.state == kStateStabilising) {
        label.textColour = style.ageStabilising;
        label.backColour = style.backStabilising;
    }
    return label;
}

OverlayLabel GenderLabel(const CKytoGenderRes& gender, const OverlayStyle& style) {
    const bool stabilising = gender.state == kStateStabilising;
    OverlayLabel label{"", kBlack, stabilising ? style.backStabilising : kBlack};
    if (gender.gender == kNoEstimate) {
        label.text = "?";
        label.textColour = kUnknownGender;
    } else if (gender.gender == 1) {
        label.text = "Male";
        label.textColour = stabilising ? style.maleStabilising : kMale;
    } else {
        label.text = "Female";
        label.textColour = stabilising ? style.femaleStabilising : kFemale;
    }
    return label;
}

OverlayLabel ExpressionLabel(const CKytoExpressionRes& expression) {
    const int index = ChooseExpressionIndex(expression);
    // Only 1..5 name an expression; -128 and anything a record should never
    // hold are shown as unknown.
    if (index < 1 || index > 5) {
        return {"?", kUnknownExpression, kBlack};
    }
    const ExpressionName& name = kExpressions[index - 1];
    return {name.text, name.colour, kBlack};
}

}  // namespace

int ChooseExpressionIndex(const CKytoExpressionRes& e) {
    const int s = e.score;
    const int* n = e.scores;
    const int m1 = std::max(s, n[0]);
    const int m2 = std::max(m1, n[1]);
    const int m3 = std::max(m2, n[2]);
    int index;
    if (m3 < n[3]) {
        index = 4;
    } else if (m2 < n[2]) {
        index = 3;
    } else if (m1 < n[1]) {
        index = 2;
    } else if (s < n[0]) {
        index = 1;
    } else {
        index = e.expression;
    }
    if (std::max(m3, n[3]) < n[4]) {
        index = 5;
    }
    return index;
}

std::vector<OverlayLabel> BuildFaceLabels(const FaceResult& face, const std::uint8_t flags[11],
                                          const OverlayStyle& style, const UserNameLookup& names) {
    std::vector<OverlayLabel> labels;
    if (Shown(flags, kShowRecognition)) {
        if (face.recognition.IsValid()) {
            labels.push_back(RecognitionLabel(face.recognition, style, names));
        }
    } else if (Shown(flags, kShowVerify) && face.verify.IsValid()) {
        labels.push_back(VerifyLabel(face.verify));
    }
    if (Shown(flags, kShowAge) && face.age.IsValid()) {
        labels.push_back(AgeLabel(face.age, style));
    }
    if (Shown(flags, kShowGender) && face.gender.IsValid()) {
        labels.push_back(GenderLabel(face.gender, style));
    }
    if (Shown(flags, kShowExpression) && face.expression.IsValid()) {
        labels.push_back(ExpressionLabel(face.expression));
    }
    return labels;
}
