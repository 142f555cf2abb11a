#pragma once

// The execute page: the function selection page, the stabilisation box, the
// transfer image size, and the buttons that run detection once or
// continuously, open the settings and show the image full screen. Every
// change of a choice goes straight into the choices snapshot that the next
// frame reads. The buttons only ask: they post UWM_EXEC_ONCE, UWM_EXEC_START,
// UWM_EXEC_STOP, UWM_SETTINGS and UWM_FULL_SCREEN (sender: this page) to the
// page's message target, its parent unless set; the main window decides.

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "app/ExecutionChoices.h"

class QAbstractButton;
class QCheckBox;
class COrgComboBox;
class QLabel;
class CExecFuncSelectDlg;

class CExecuteDlg : public QWidget {
    Q_OBJECT

public:
    // choices: written on every change; must outlive the page.
    explicit CExecuteDlg(CChoicesSnapshot& choices, QWidget* parent = nullptr);

    // The stored choices: the eleven buttons, the image size item whose
    // data is the code (0 none, 1 320 × 240, 2 160 × 120) and the
    // stabilisation box. With Face and Verify set the ID selection shows.
    void SetFromSettings(const std::uint8_t functionFlags[11], int imageSizeCode,
                         bool stabilisation);

    // Shows both execute buttons released (after a failure); asks nothing.
    void ReleaseExecuteButtons();
    // The main window's run mode (-1 idle, 0 once, 1 continuous, 103 live
    // image): the continuous button shows pressed exactly in mode 1.
    void SetRunMode(int mode);
    int RunMode() const { return runMode_; }
    // Without a module the execute buttons are disabled.
    void SetConnected(bool connected);

    // The ID selection dialog of Verify (a separate window, not owned).
    void SetIdSelectDialog(QWidget* dialog);
    bool IdSelectVisible() const { return idSelectVisible_; }
    // Shows or hides the ID selection dialog (the page's visibility rules
    // apply: a hidden page shows none).
    void ShowIdSelect(bool show);
    // Moves the ID selection dialog beside the page: x = the function
    // selection page's right edge, y = the page's bottom edge + 8 (screen).
    void PlaceIdSelect();

    int ImageSizeCode() const;
    CExecFuncSelectDlg* FunctionPage() const { return functions_; }
    QAbstractButton* ExecuteOnceButton() const { return once_; }
    QAbstractButton* ExecuteContinuousButton() const { return continuous_; }
    QAbstractButton* SettingsButton() const { return settings_; }
    QAbstractButton* FullScreenButton() const { return fullScreen_; }
    QCheckBox* StabilisationBox() const { return stabilisation_; }
    COrgComboBox* ImageSizeBox() const { return imageSize_; }

    void SetMessageTarget(QObject* target) { messageTarget_ = target; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateWidgets();
    void WriteChoices();
    void SetContinuousPressed(bool pressed);
    void Post(int message);

    CChoicesSnapshot& choices_;
    CExecFuncSelectDlg* functions_ = nullptr;
    QCheckBox* stabilisation_ = nullptr;
    QLabel* imageSizeLabel_ = nullptr;
    COrgComboBox* imageSize_ = nullptr;
    QAbstractButton* once_ = nullptr;
    QAbstractButton* continuous_ = nullptr;
    QAbstractButton* settings_ = nullptr;
    QAbstractButton* fullScreen_ = nullptr;
    QPointer<QWidget> idSelect_;
    QObject* messageTarget_ = nullptr;
    bool idSelectVisible_ = false;
    bool connected_ = true;
    int runMode_ = -1;
    bool applying_ = false;
};
