// The image panel paints the packet it was given: the fitted image, the
// overlay of the functions the frame requested and whose toggle is on, the
// no-image picture, and the band of the square surface that fills the panel.

#include <QAbstractButton>
#include <QTest>
#include <memory>

#include "app/FramePacket.h"
#include "display/ui/ImageDlg.h"
#include "protocol/RawDetectResult.h"

namespace {

const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kRed = qRgb(255, 0, 0);

// A frame of a grey image with one body and one face, both requested.
FramePacketPtr Frame(int width, int height, std::uint8_t grey) {
    auto packet = std::make_shared<FramePacket>();
    if (width > 0) {
        packet->image.Init(width, height, kFormatGrey8, true);
        std::fill(packet->image.Pixels(), packet->image.Pixels() + packet->image.Size(), grey);
        packet->image.SetImageSize(width, height);
    }
    packet->functionFlags[kFuncBody] = 1;
    packet->functionFlags[kFuncFace] = 1;
    CKytoDetectRes body;
    body.x = 80;
    body.y = 120;
    body.size = 100;
    body.confidence = 800;
    body.SetValid(true);
    packet->result.bodies.push_back(body);
    FaceResult face;
    face.detect.x = 480;
    face.detect.y = 240;
    face.detect.size = 120;
    face.detect.confidence = 800;
    face.detect.SetValid(true);
    packet->result.faces.push_back(face);
    return packet;
}

int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == colour;
        }
    }
    return n;
}

QImage Grab(CImageDlg& panel) {
    return panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class ImagePanelTests : public QObject {
    Q_OBJECT

private slots:
    void PaintsTheImageAndTheOverlay() {
        CImageDlg panel;
        panel.resize(320, 240);
        panel.SetFullImageWidth(640);  // module coordinates are half size
        panel.SetFrame(Frame(320, 240, 200));
        const QImage shown = Grab(panel);
        QCOMPARE(shown.size(), QSize(320, 240));
        // The 320 × 240 image fills the panel: its grey at the corners.
        QCOMPARE(shown.pixel(2, 2), qRgb(200, 200, 200));
        QCOMPARE(shown.pixel(317, 237), qRgb(200, 200, 200));
        // Face centre (480, 240) size 120 in module pixels: (240, 120) size 60.
        QCOMPARE(shown.pixel(210, 120), kGreen);  // left edge
        QCOMPARE(shown.pixel(240, 90), kGreen);   // top edge
        QCOMPARE(shown.pixel(240, 120), qRgb(200, 200, 200));
        QVERIFY(CountColour(shown, kRed) > 0);  // the body
    }

    // Toggles choose what is drawn; a function the frame did not request
    // has its toggle disabled and is not drawn whatever its state.
    void TogglesChooseWhatIsDrawn() {
        CImageDlg panel;
        panel.resize(320, 240);
        panel.SetFrame(Frame(320, 240, 100));
        QVERIFY(CountColour(Grab(panel), kGreen) > 0);
        QAbstractButton* face = panel.ToggleButton(kFuncFace);
        QVERIFY(face->isEnabled());
        face->click();
        QVERIFY(!panel.DisplayFlag(kFuncFace));
        QCOMPARE(CountColour(Grab(panel), kGreen), 0);
        QVERIFY(CountColour(Grab(panel), kRed) > 0);  // bodies still shown
        face->click();
        QVERIFY(CountColour(Grab(panel), kGreen) > 0);

        // The next frame does not request the body: its toggle is disabled,
        // keeps its state, and no body is drawn.
        FramePacketPtr packet = Frame(320, 240, 100);
        std::const_pointer_cast<FramePacket>(packet)->functionFlags[kFuncBody] = 0;
        panel.SetFrame(packet);
        QVERIFY(!panel.ToggleButton(kFuncBody)->isEnabled());
        QVERIFY(panel.ToggleButton(kFuncBody)->isChecked());
        QCOMPARE(CountColour(Grab(panel), kRed), 0);
        QVERIFY(!panel.ToggleButton(kFuncHand)->isEnabled());
    }

    void FramesWithoutAnImage() {
        const struct {
            const char* name;
            bool image;
            int status;
        } cases[] = {{"no image requested", false, 0}, {"failed exchange", true, -20}};
        for (const auto& c : cases) {
            CImageDlg panel;
            panel.resize(320, 240);
            FramePacketPtr packet = Frame(c.image ? 320 : 0, 240, 200);
            std::const_pointer_cast<FramePacket>(packet)->status = c.status;
            panel.SetFrame(packet);
            const QImage shown = Grab(panel);
            // The panel's grey with the no-image picture in the middle.
            QVERIFY2(shown.pixel(2, 2) == qRgb(128, 128, 128), c.name);
            QVERIFY2(CountColour(shown, qRgb(200, 200, 200)) == 0, c.name);
            QVERIFY2(CountColour(shown, qRgb(72, 72, 72)) > 0, c.name);
            // A failed exchange has no results to draw.
            QVERIFY2((CountColour(shown, kGreen) > 0) == (c.status == 0), c.name);
        }
    }

    // A 160 × 120 image is fitted with scale 2: one image pixel, two panel pixels.
    void SmallImageIsFittedWithScaleTwo() {
        CImageDlg panel;
        panel.resize(320, 240);
        FramePacketPtr packet = Frame(160, 120, 0);
        auto* pixels = std::const_pointer_cast<FramePacket>(packet)->image.Pixels();
        pixels[0] = 250;  // top-left image pixel
        std::const_pointer_cast<FramePacket>(packet)->result = CFrameResult();
        panel.SetFrame(packet);
        const QImage shown = Grab(panel);
        for (QPoint p : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            QCOMPARE(shown.pixel(p), qRgb(250, 250, 250));
        }
        QCOMPARE(shown.pixel(2, 0), qRgb(0, 0, 0));
    }

    void TheBandOfTheSurfaceFillsThePanel() {
        const struct {
            QSize client;
            QRect target;
        } cases[] = {
            {{320, 240}, {0, -40, 320, 320}},   // exactly the band
            {{400, 240}, {40, -40, 320, 320}},  // wider: centred
            {{640, 480}, {0, -80, 640, 640}},   // twice the size
            {{320, 480}, {0, 80, 320, 320}},    // taller: the width decides, centred
        };
        for (const auto& c : cases) {
            QCOMPARE(CImageDlg::TargetRect(c.client), c.target);
        }
    }

    void EveryToggleHasItsCaptionAsName() {
        CImageDlg panel;
        const char* captions[] = {"Human Body", "Hand",        "Face",  "Direction",
                                  "Age",        "Gender",      "Gaze",  "Blink",
                                  "Expression", "Recognition", "Verify"};
        for (int i = 0; i < CImageDlg::kToggleCount; ++i) {
            QCOMPARE(panel.ToggleButton(i)->accessibleName(), QString::fromLatin1(captions[i]));
            QVERIFY(panel.ToggleButton(i)->isChecked());  // start on
        }
    }
};

QTEST_MAIN(ImagePanelTests)
#include "ImagePanelTests.moc"
