// The execute page: choices into the snapshot, button presses out as signals.
#include "app/ui/ExecuteDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/ui/ExecFuncSelectDlg.h"
#include "app/ui/WindowMessages.h"
#include "protocol/RawDetectResult.h"
#include "widgets/ButtonFaces.h"
#include "widgets/OrgComboBox.h"
#include "widgets/StateBmpButton.h"

namespace {

// A picture-only button (40 × 40); its tooltip words are its accessible name.
CStateBmpButton* PictureButton(const QString& name, const QString& words, FaceId face,
                               QWidget* parent) {
    auto* button = new CStateBmpButton(parent);
    button->setObjectName(name);
    button->SetFace(ButtonFace(face));
    button->SetTransparentColor(0xFF00FF);
    button->setToolTip(words);
    button->setAccessibleName(words);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

}  // namespace

CExecuteDlg::CExecuteDlg(CChoicesSnapshot& choices, QWidget* parent)
    : QWidget(parent), choices_(choices) {
    setObjectName(QStringLiteral("executePage"));
    functions_ = new CExecFuncSelectDlg(this);

    stabilisation_ = new QCheckBox(tr("Stabilization"), this);  // 1092
    stabilisation_->setObjectName(QStringLiteral("stabilisationBox"));
    stabilisation_->setAccessibleName(stabilisation_->text());

    imageSizeLabel_ = new QLabel(tr("Transfer image size:"), this);  // 1078
    imageSize_ = new COrgComboBox(this);                             // 1000
    imageSize_->setObjectName(QStringLiteral("imageSizeBox"));
    imageSize_->AddItem(tr("320x240"), kImageQvga);
    imageSize_->AddItem(tr("160x120"), kImageSmall);
    imageSize_->AddItem(tr("No image"), kImageNone);
    imageSize_->setCurrentIndex(0);
    imageSize_->setAccessibleName(tr("Transfer image size"));
    imageSizeLabel_->setBuddy(imageSize_);

    auto* onceButton = PictureButton(QStringLiteral("executeOnceButton"), tr("Execute once"),
                                     FaceId::kExecuteOnce, this);  // 1043
    auto* continuousButton =
        PictureButton(QStringLiteral("executeContinuousButton"), tr("Execute continuously"),
                      FaceId::kExecuteContinuously, this);  // 1044
    continuousButton->setCheckable(true);
    auto* settingsButton = PictureButton(QStringLiteral("settingsButton"), tr("Settings"),
                                         FaceId::kSettings, this);  // 1048
    auto* fullScreenButton = PictureButton(QStringLiteral("fullScreenButton"), tr("Full screen"),
                                           FaceId::kFullScreen, this);  // 1046
    once_ = onceButton;
    continuous_ = continuousButton;
    settings_ = settingsButton;
    fullScreen_ = fullScreenButton;

    // Function buttons with the two execute buttons beside them; under them
    // the stabilisation box, the image size and the settings and full-screen
    // buttons, centred under the function page.
    auto* execute = new QVBoxLayout;
    execute->setContentsMargins(0, 16, 0, 0);
    execute->setSpacing(8);
    execute->addWidget(once_);
    execute->addWidget(continuous_);
    execute->addStretch(1);

    auto* bottomButtons = new QHBoxLayout;
    bottomButtons->setSpacing(16);
    bottomButtons->addStretch(1);
    bottomButtons->addWidget(settings_);
    bottomButtons->addWidget(fullScreen_);
    bottomButtons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 0, 8, 8);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    grid->addWidget(functions_, 0, 0);
    grid->addLayout(execute, 0, 1);
    grid->addWidget(stabilisation_, 1, 0, Qt::AlignHCenter);
    grid->setRowMinimumHeight(2, 8);
    grid->addWidget(imageSizeLabel_, 3, 0, Qt::AlignHCenter);
    grid->addWidget(imageSize_, 4, 0, Qt::AlignHCenter);
    grid->setRowMinimumHeight(5, 12);
    grid->addLayout(bottomButtons, 6, 0);
    grid->setRowStretch(7, 1);

    connect(once_, &QAbstractButton::clicked, this, [this] {
        SetContinuousPressed(false);
        Post(UWM_EXEC_ONCE);
    });
    connect(continuous_, &QAbstractButton::toggled, this,
            [this](bool pressed) { Post(pressed ? UWM_EXEC_START : UWM_EXEC_STOP); });
    connect(settings_, &QAbstractButton::clicked, this, [this] { Post(UWM_SETTINGS); });
    connect(fullScreen_, &QAbstractButton::clicked, this, [this] { Post(UWM_FULL_SCREEN); });

    connect(functions_, &CExecFuncSelectDlg::FunctionsChanged, this, &CExecuteDlg::WriteChoices);
    connect(functions_, &CExecFuncSelectDlg::IdSelectShowRequested, this,
            &CExecuteDlg::ShowIdSelect);
    connect(stabilisation_, &QCheckBox::toggled, this, &CExecuteDlg::WriteChoices);
    connect(imageSize_, &QComboBox::currentIndexChanged, this, &CExecuteDlg::WriteChoices);
    WriteChoices();
    UpdateWidgets();
}

void CExecuteDlg::SetFromSettings(const std::uint8_t functionFlags[11], int imageSizeCode,
                                  bool stabilisation) {
    applying_ = true;
    functions_->SetFlags(functionFlags);
    imageSize_->SelectByData(imageSizeCode);
    stabilisation_->setChecked(stabilisation);
    applying_ = false;
    WriteChoices();
    if (functionFlags[kFuncFace] && functionFlags[kFuncVerify] &&
        !functionFlags[kFuncRecognition]) {
        ShowIdSelect(true);
    }
}

void CExecuteDlg::ReleaseExecuteButtons() {
    SetContinuousPressed(false);
    once_->setDown(false);
}

void CExecuteDlg::SetRunMode(int mode) {
    runMode_ = mode;
    SetContinuousPressed(mode == 1);
    UpdateWidgets();
}

void CExecuteDlg::SetConnected(bool connected) {
    connected_ = connected;
    UpdateWidgets();
}

void CExecuteDlg::SetIdSelectDialog(QWidget* dialog) {
    idSelect_ = dialog;
    ShowIdSelect(idSelectVisible_);
}

void CExecuteDlg::ShowIdSelect(bool show) {
    idSelectVisible_ = show;
    if (!idSelect_) {
        return;
    }
    if (show && isVisible()) {
        PlaceIdSelect();
        idSelect_->show();
    } else {
        idSelect_->hide();
    }
}

void CExecuteDlg::PlaceIdSelect() {
    if (!idSelect_) {
        return;
    }
    const QPoint corner(functions_->mapToGlobal(QPoint(functions_->width(), 0)).x(),
                        mapToGlobal(QPoint(0, height())).y() + 8);
    idSelect_->move(corner);
}

int CExecuteDlg::ImageSizeCode() const {
    return static_cast<int>(imageSize_->SelectedData(kImageQvga));
}

void CExecuteDlg::Post(int message) {
    QObject* target = messageTarget_ != nullptr ? messageTarget_ : parent();
    if (target != nullptr) {
        PostWindowMessage(target, static_cast<WindowMessage>(message), this);
    }
}

bool CExecuteDlg::event(QEvent* event) {
    if (CWindowMessage* message = CWindowMessage::From(event)) {
        switch (message->Message()) {
            case UWM_ID_SELECT_SHOW:
                ShowIdSelect(message->Value() != 0);
                return true;
            case UWM_PLACE_ID_SELECT:
                PlaceIdSelect();
                return true;
            case UWM_VERIFY_ID: {
                // From the ID selection dialog, on to the main operation page.
                QObject* target = messageTarget_ != nullptr ? messageTarget_ : parent();
                if (target != nullptr) {
                    PostWindowMessage(target, UWM_VERIFY_ID, message->Sender(), message->Value());
                }
                return true;
            }
            default:
                break;
        }
    }
    return QWidget::event(event);
}

void CExecuteDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ShowIdSelect(idSelectVisible_);
}

void CExecuteDlg::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (idSelect_) {
        idSelect_->hide();
    }
}

void CExecuteDlg::UpdateWidgets() {
    once_->setEnabled(connected_);
    continuous_->setEnabled(connected_);
}

void CExecuteDlg::WriteChoices() {
    if (applying_) {
        return;
    }
    std::uint8_t flags[11];
    functions_->EffectiveFlags(flags);
    choices_.SetFunctionFlags(flags);
    choices_.SetImageType(ImageSizeCode());
    choices_.SetStabilisation(stabilisation_->isChecked());
}

void CExecuteDlg::SetContinuousPressed(bool pressed) {
    // Shows the state; only the user's press asks the main window.
    const QSignalBlocker quiet(continuous_);
    continuous_->setChecked(pressed);
}
