// Frames from the real core reach the page: the execution loop runs on the
// device worker against kyto-emu, reports into the page's latest-frame slot,
// and the window thread paints the panel and adds the pane's blocks.

#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/DeviceWorker.h"
#include "app/ExecutionLoop.h"
#include "app/ui/ExecFuncSelectDlg.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "app/ui/WindowPoster.h"
#include "display/ui/ImageDlg.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/RawDetectResult.h"

class PageFrameTests : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<CEmuProcess> emu_;
    std::unique_ptr<CAppCore> core_;
    std::unique_ptr<CDeviceWorker> worker_;

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        for (const char* name : {"CmdInfo", "DefSettings.dat", "FullImageInfo.dat",
                                 "ExecTimeOut.ini", "ImgTimeout.ini", "CmdTimeout.ini"}) {
            dir_->CopyShipped(name);
        }
        emu_ = std::make_unique<CEmuProcess>(
            std::vector<std::string>{"--no-line-timing", "--seed", "5"});
        QVERIFY2(emu_->Start(), emu_->Error().c_str());
        core_ = std::make_unique<CAppCore>();
        core_->LoadSettings();
        core_->SetConnectDelays(0, 0);
        QCOMPARE(core_->ConnectDevice(emu_->PortPath(), 921600), 0);
        core_->PublishStatus();
        worker_ = std::make_unique<CDeviceWorker>(*core_);
        worker_->Start();
    }

    void cleanup() {
        if (worker_) {
            worker_->Quit();
        }
        if (core_) {
            core_->Disconnect();
        }
        worker_.reset();
        core_.reset();
        emu_.reset();
        dir_.reset();
    }

    // Execute once: the panel shows the camera image with the face
    // rectangles, the pane one block with the face section.
    void OneFrameReachesPanelAndPane() {
        CMainOpeDlg page(*core_);
        page.resize(page.sizeHint());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTest::mouseClick(page.ExecutePage().FunctionPage()->Button(kFuncFace), Qt::LeftButton);
        QCOMPARE(page.Choices().Current().functionFlags[kFuncFace], std::uint8_t{1});

        CWindowPoster poster(&page);
        CExecutionLoop loop(page.Choices(), page.FrameSink());
        bool ended = false;
        loop.Start(*worker_, CExecutionLoop::kSingleShot, poster.Get(),
                   [&](JobResult<ExecutionEnd> end) {
                       QCOMPARE(end.value.reason, ExecutionEnd::kSingleShot);
                       ended = true;
                   });
        QTRY_VERIFY_WITH_TIMEOUT(ended && page.ImagePanel().Frame() != nullptr, 20000);
        QTRY_COMPARE(page.ResultLog().BlockCount(), 1);
        const FramePacketPtr frame = page.ImagePanel().Frame();
        QVERIFY(frame->Succeeded());
        QCOMPARE(frame->image.ImageWidth(), 320);
        QVERIFY(!frame->result.faces.empty());
        QVERIFY(page.ResultLog().Text().contains(QStringLiteral("\t Face count:")));
        QVERIFY(page.ImagePanel().DisplayFlag(kFuncFace));
        QVERIFY(!page.ImagePanel().DisplayFlag(kFuncBody));  // not requested: disabled

        // The face rectangle is drawn in green somewhere on the surface
        // (the panel shows it scaled, smoothly).
        const QImage grab = page.ImagePanel().Surface();
        bool green = false;
        for (int y = 0; y < grab.height() && !green; ++y) {
            for (int x = 0; x < grab.width() && !green; ++x) {
                green = grab.pixel(x, y) == qRgb(0, 255, 0);
            }
        }
        QVERIFY(green);
    }

    // Continuous frames: the pane keeps its limit and every shown frame is
    // newer than the one before; the run stops on request.
    void ContinuousFramesKeepThePaneWithinItsLimit() {
        CMainOpeDlg page(*core_);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const std::uint8_t flags[11] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
        page.SetFromSettings(flags, kImageSmall, false);
        std::vector<std::uint64_t> shown;
        connect(&page, &CMainOpeDlg::FrameShown, &page,
                [&](std::uint64_t sequence) { shown.push_back(sequence); });

        CWindowPoster poster(&page);
        CExecutionLoop loop(page.Choices(), page.FrameSink());
        bool ended = false;
        const JobId run = loop.Start(*worker_, CExecutionLoop::kContinuous, poster.Get(),
                                     [&](JobResult<ExecutionEnd>) { ended = true; });
        const int limit = page.ResultLog().BlockLimit();
        QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 8, 30000);
        worker_->RequestStop(run);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);
        QCoreApplication::sendPostedEvents();
        for (std::size_t i = 1; i < shown.size(); ++i) {
            QVERIFY(shown[i] > shown[i - 1]);
        }
        QVERIFY(page.ResultLog().BlockCount() <= limit);
        QCOMPARE(page.ImagePanel().Frame()->image.ImageWidth(), 160);
    }
};

QTEST_MAIN(PageFrameTests)
#include "PageFrameTests.moc"
