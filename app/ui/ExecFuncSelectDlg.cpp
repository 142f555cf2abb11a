// The function selection page and the rules between its buttons.
#include "app/ui/ExecFuncSelectDlg.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "display/ui/FunctionCaptions.h"
#include "protocol/RawDetectResult.h"
#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

CExecFuncSelectDlg::CExecFuncSelectDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("functionSelectPage"));
    group_ = new QGroupBox(tr("Function ON/OFF"), this);  // group box 1004
    group_->setObjectName(QStringLiteral("functionGroup"));
    auto* column = new QVBoxLayout(group_);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(4);
    for (int i = 0; i < kFunctionCount; ++i) {
        auto* button = new CStateBmpButton(FunctionCaption(i), group_);  // ID 2000 + i
        button->setObjectName(QStringLiteral("function%1").arg(i));
        button->setAccessibleName(FunctionCaption(i));
        button->SetFace(ButtonFace(FaceId::kFunctionToggle));
        button->SetTransparentColor(0xFF00FF);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::StrongFocus);
        connect(button, &QAbstractButton::toggled, this, [this, i](bool on) { OnToggled(i, on); });
        column->addWidget(button);
        buttons_[static_cast<std::size_t>(i)] = button;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->addWidget(group_);
    UpdateWidgets();
}

void CExecFuncSelectDlg::ButtonFlags(std::uint8_t flags[kFunctionCount]) const {
    for (int i = 0; i < kFunctionCount; ++i) {
        flags[i] = buttons_[static_cast<std::size_t>(i)]->isChecked() ? 1 : 0;
    }
}

void CExecFuncSelectDlg::EffectiveFlags(std::uint8_t flags[kFunctionCount]) const {
    ButtonFlags(flags);
    if (!flags[kFuncFace]) {
        for (int i = kFuncDirection; i <= kFuncVerify; ++i) {
            flags[i] = 0;
        }
    }
}

void CExecFuncSelectDlg::SetFlags(const std::uint8_t flags[kFunctionCount]) {
    applying_ = true;
    for (int i = 0; i < kFunctionCount; ++i) {
        SetPressed(i, flags[i] != 0);
    }
    if (flags[kFuncRecognition] && flags[kFuncVerify]) {
        SetPressed(kFuncVerify, false);
    }
    applying_ = false;
    UpdateWidgets();
    emit FunctionsChanged();
}

QAbstractButton* CExecFuncSelectDlg::Button(int index) const {
    return index >= 0 && index < kFunctionCount ? buttons_[static_cast<std::size_t>(index)]
                                                : nullptr;
}

void CExecFuncSelectDlg::SetPressed(int index, bool on) {
    buttons_[static_cast<std::size_t>(index)]->setChecked(on);
}

void CExecFuncSelectDlg::OnToggled(int index, bool on) {
    if (applying_) {
        return;
    }
    applying_ = true;
    switch (index) {
        case kFuncFace:
            if (!on) {
                emit IdSelectShowRequested(false);
            } else if (Button(kFuncVerify)->isChecked()) {
                emit IdSelectShowRequested(true);
            }
            break;
        case kFuncRecognition:
            if (on) {
                SetPressed(kFuncVerify, false);
                emit IdSelectShowRequested(false);
            }
            break;
        case kFuncVerify:
            if (on) {
                SetPressed(kFuncRecognition, false);
            }
            emit IdSelectShowRequested(on);
            break;
        default:
            break;
    }
    applying_ = false;
    UpdateWidgets();
    emit FunctionsChanged();
}

void CExecFuncSelectDlg::UpdateWidgets() {
    const bool face = Button(kFuncFace)->isChecked();
    for (int i = kFuncDirection; i <= kFuncVerify; ++i) {
        Button(i)->setEnabled(face);
    }
}
