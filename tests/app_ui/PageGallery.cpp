// Renders the main operation page and its parts to PNG files (offscreen) for
// a look: an empty page, one showing a frame with faces and its block, and
// each tab of the settings dialog.
// Usage: app_ui_page_gallery OUTPUT_DIR

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "display/ui/ImageDlg.h"
#include "protocol/RawDetectResult.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/StateBmpButton.h"

namespace {

FramePacketPtr SampleFrame() {
    auto packet = std::make_shared<FramePacket>();
    packet->sequence = 1;
    packet->image.Init(320, 240, kFormatGrey8, true);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            packet->image.Pixels()[y * 320 + x] = static_cast<std::uint8_t>(60 + (x + y) / 4);
        }
    }
    packet->image.SetImageSize(320, 240);
    const std::uint8_t flags[11] = {1, 0, 1, 1, 1, 1, 0, 0, 1, 1, 0};
    std::copy(flags, flags + 11, packet->functionFlags);
    packet->responseTimeMs = 182;
    for (int i = 0; i < 2; ++i) {
        FaceResult face;
        face.detect.x = 200 + i * 260;
        face.detect.y = 250;
        face.detect.size = 110;
        face.detect.confidence = 820;
        face.detect.SetValid(true);
        face.direction.yaw = 15 - 30 * i;
        face.direction.confidence = 500;
        face.direction.SetValid(true);
        face.age.age = 31 + i * 12;
        face.age.confidence = 600;
        face.age.SetValid(true);
        face.gender.gender = i;
        face.gender.confidence = 700;
        face.gender.SetValid(true);
        face.recognition.userId = i == 0 ? 3 : -1;
        face.recognition.score = 880;
        face.recognition.SetValid(true);
        packet->result.faces.push_back(face);
    }
    return packet;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    TempDir dir;
    CAppCore core;
    CMainOpeDlg page(core);
    page.resize(page.sizeHint());
    page.show();
    bool ok = page.grab().save(out + "/main-page-empty.png");
    const std::uint8_t flags[11] = {1, 0, 1, 1, 1, 1, 0, 0, 1, 1, 0};
    page.SetFromSettings(flags, 1, true);
    page.UpdateUserList({{3, "<b>Alice</b>"}});
    page.AddVersionHeader("0.1.0", "1.2.0.3");
    page.ReportFrame(SampleFrame());
    ok = page.grab().save(out + "/main-page-frame.png") && ok;
    ok = page.ExecutePage().grab().save(out + "/execute-page.png") && ok;
    ok = page.ImagePanel().grab().save(out + "/image-panel.png") && ok;

    CSettingDlg settings;
    settings.connection.portName = "/dev/ttyUSB0";
    settings.connection.baud = 921600;
    settings.device = DeviceValues{1, 2, 1};
    DeviceSettings values;
    const int thresholds[5] = {500, 500, 500, 500, 500};
    std::copy(thresholds, thresholds + 5, values.thresholds);
    values.ranges[0] = {40, 8192};
    values.ranges[1] = {40, 8192};
    values.ranges[2] = {64, 8192};
    values.yawCode = 0;
    values.rollCode = 0;
    settings.SetExecutionValues(values);
    QTimer::singleShot(0, &settings, [&] {
        for (int i = 0; i < settings.Tabs()->count(); ++i) {
            settings.Tabs()->setCurrentIndex(i);
            settings.adjustSize();
            ok = settings.grab().save(out + QString("/settings-tab-%1.png").arg(i)) && ok;
        }
        settings.CancelButton()->click();
    });
    settings.RunDialog({{"/dev/ttyUSB0", "USB serial"}}, {{640, 480, 1}, {320, 240, 2}},
                       CSettingDlg::kSettingsMode);

    // Without a module the Device tab also offers the port and baud rate.
    settings.offerConnection = true;
    QTimer::singleShot(0, &settings, [&] {
        settings.Tabs()->setCurrentIndex(1);
        settings.adjustSize();
        ok = settings.grab().save(out + "/settings-device-not-connected.png") && ok;
        settings.CancelButton()->click();
    });
    settings.RunDialog({{"/dev/ttyUSB0", "/dev/ttyUSB0  (usb-Kyto_A1-if00-port0)"}},
                       {{640, 480, 1}, {320, 240, 2}}, CSettingDlg::kSettingsMode);
    return ok ? 0 : 1;
}
