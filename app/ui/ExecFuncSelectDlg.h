#pragma once

// The function selection page: one two-state button per detection function
// (body ... verify), framed by "Function ON/OFF". The face estimations need
// the face, so their eight buttons are usable only while Face is on; they
// keep their states while it is off. Recognition and Verify exclude each
// other.

#include <QWidget>
#include <array>
#include <cstdint>

class QAbstractButton;
class QGroupBox;

class CExecFuncSelectDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFunctionCount = 11;

    explicit CExecFuncSelectDlg(QWidget* parent = nullptr);

    // The pressed state of every button, as flags (1 = pressed).
    void ButtonFlags(std::uint8_t flags[kFunctionCount]) const;
    // What a frame requests: body, hand and face as pressed, the eight
    // estimations only while Face is pressed.
    void EffectiveFlags(std::uint8_t flags[kFunctionCount]) const;
    // Sets every button from stored flags (no ID selection signal: the
    // caller decides). Recognition wins when both it and Verify are set.
    void SetFlags(const std::uint8_t flags[kFunctionCount]);

    QAbstractButton* Button(int index) const;
    QGroupBox* Group() const { return group_; }

signals:
    // A button changed what the next frame requests.
    void FunctionsChanged();
    // The ID selection dialog of Verify is to be shown (true) or hidden.
    void IdSelectShowRequested(bool show);

private:
    void OnToggled(int index, bool on);
    void SetPressed(int index, bool on);
    void UpdateWidgets();

    QGroupBox* group_ = nullptr;
    std::array<QAbstractButton*, kFunctionCount> buttons_{};
    bool applying_ = false;  // a change made here, not by the user
};
