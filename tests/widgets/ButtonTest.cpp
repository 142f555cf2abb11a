// The bitmap-strip button: which frame of the strip is drawn in which state,
// caps, the transparent colour, no face meaning nothing at all, and the
// accessible name of a picture-only button.
#include <QAccessible>
#include <QPainter>
#include <QTest>

#include "WidgetTest.h"
#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

namespace {

// A strip with every row of every column in its own colour, and the first
// and last pixel line of each frame marked, so an off-by-one row shows.
QColor FrameColor(int row, int column) {
    return QColor(40 + 60 * row, 200 - 90 * column, 30);
}
QColor FirstLineColor(int row, int column) {
    return QColor(10 + row, 10 + column, 250);
}
QColor LastLineColor(int row, int column) {
    return QColor(250, 10 + row, 10 + column);
}

QImage Strip(QSize size, int columns) {
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width() / columns;
    const int h = size.height() / 4;
    QPainter p(&image);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < 4; ++r) {
            p.fillRect(c * w, r * h, w, h, FrameColor(r, c));
            p.fillRect(c * w, r * h, w, 1, FirstLineColor(r, c));
            p.fillRect(c * w, r * h + h - 1, w, 1, LastLineColor(r, c));
        }
    }
    return image;
}

QImage Render(QWidget& widget, qreal scale = 1.0) {
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

}  // namespace

class StateBmpButtonTest : public QObject {
    Q_OBJECT
private slots:
    void frameGeometry_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("104x128 disabled")
            << QSize(104, 128) << 1 << 0 << 2 << QRect(0, 64, 104, 32);
        QTest::newRow("two columns, selected pressed")
            << QSize(224, 120) << 2 << 1 << 1 << QRect(112, 30, 112, 30);
        QTest::newRow("uneven width truncates")
            << QSize(101, 130) << 2 << 1 << 0 << QRect(50, 0, 50, 32);
        QTest::newRow("column past the strip stays inside")
            << QSize(200, 40) << 2 << 5 << 0 << QRect(100, 0, 100, 10);
        QTest::newRow("no columns counts as one")
            << QSize(40, 40) << 0 << 0 << 3 << QRect(0, 30, 40, 10);
    }
    void frameGeometry() {
        QFETCH(QSize, size);
        QFETCH(int, columns);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(QRect, frame);
        QCOMPARE(COrgBitmap::SourceFrame(size, columns, column, row), frame);
    }

    void drawnRow_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("down");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("row");
        QTest::newRow("normal") << true << false << false << 0;
        QTest::newRow("pressed") << true << true << false << 1;
        QTest::newRow("checked") << true << false << true << 1;
        QTest::newRow("disabled") << false << false << false << 2;
        QTest::newRow("disabled wins over checked") << false << false << true << 2;
    }
    // A 104 × 128 face with one column on a 104 × 32 button: exactly the
    // rows of the state's frame (the disabled one is rows 64 to 95).
    void drawnRow() {
        QFETCH(bool, enabled);
        QFETCH(bool, down);
        QFETCH(bool, checked);
        QFETCH(int, row);
        CStateBmpButton button;
        button.SetFace(COrgBitmap::FromImage(Strip(QSize(104, 128), 1)));
        button.setCheckable(checked);
        button.setChecked(checked);
        button.setDown(down);
        button.setEnabled(enabled);
        button.resize(104, 32);
        QCOMPARE(button.Row(), row);
        const QImage image = Render(button);
        QCOMPARE(image.pixelColor(50, 0), FirstLineColor(row, 0));
        QCOMPARE(image.pixelColor(50, 16), FrameColor(row, 0));
        QCOMPARE(image.pixelColor(50, 31), LastLineColor(row, 0));
    }

    // The column is a selection: changing it changes the look.
    void columnSelectsSubImage() {
        CStateBmpButton button;
        button.SetFace(COrgBitmap::FromImage(Strip(QSize(200, 80), 2)));
        button.SetColumnCount(2);
        button.resize(100, 20);
        QCOMPARE(Render(button).pixelColor(50, 10), FrameColor(0, 0));
        button.SetColumn(1);
        QCOMPARE(Render(button).pixelColor(50, 10), FrameColor(0, 1));
    }

    void capWidth_data() {
        QTest::addColumn<QSize>("capSize");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("width");
        QTest::newRow("doubled") << QSize(20, 128) << 64 << 40;
        QTest::newRow("truncated") << QSize(15, 100) << 24 << 14;
        QTest::newRow("too short to divide") << QSize(15, 3) << 24 << 0;
    }
    void capWidth() {
        QFETCH(QSize, capSize);
        QFETCH(int, height);
        QFETCH(int, width);
        QCOMPARE(CStateBmpButton::CapWidth(capSize, 1, height), width);
    }

    // Caps sit at the ends with their proportions; the face fills the rest.
    void capsAndFace() {
        QImage left(10, 40, QImage::Format_RGB32);
        left.fill(Qt::red);
        QImage right(10, 40, QImage::Format_RGB32);
        right.fill(Qt::blue);
        QImage face(10, 40, QImage::Format_RGB32);
        face.fill(Qt::green);
        CStateBmpButton button;
        button.SetFace(COrgBitmap::FromImage(face));
        button.SetLeftCap(COrgBitmap::FromImage(left));
        button.SetRightCap(COrgBitmap::FromImage(right));
        button.resize(100, 20);  // caps: 10 × 20 / 10 = 20 wide
        const QImage image = Render(button);
        QCOMPARE(image.pixelColor(19, 10), QColor(Qt::red));
        QCOMPARE(image.pixelColor(20, 10), QColor(Qt::green));
        QCOMPARE(image.pixelColor(79, 10), QColor(Qt::green));
        QCOMPARE(image.pixelColor(80, 10), QColor(Qt::blue));
    }

    // Magenta pixels of the strip are not drawn; with -1 every pixel is.
    void transparentColour() {
        QImage face(20, 40, QImage::Format_RGB32);
        face.fill(QColor(0xFF, 0x00, 0xFF));
        face.setPixelColor(10, 5, Qt::black);
        CStateBmpButton button;
        button.SetFace(COrgBitmap::FromImage(face));
        button.resize(20, 10);
        QCOMPARE(Render(button).pixelColor(0, 0), QColor(0xFF, 0x00, 0xFF));
        button.SetTransparentColor(0xFF00FF);
        const QImage image = Render(button);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(10, 5), QColor(Qt::black));
    }

    // Without a face nothing is drawn, not the caption, not a focus frame.
    void noFaceDrawsNothing() {
        CStateBmpButton button("Caption");
        button.resize(80, 24);
        const QImage image = Render(button);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QCOMPARE(image.pixelColor(x, y).alpha(), 0);
            }
        }
    }

    // The caption is drawn in the disabled colour when disabled.
    void captionColour() {
        CStateBmpButton button("MMMM");
        QFont font = button.font();
        font.setPixelSize(20);
        button.setFont(font);
        QImage face(10, 40, QImage::Format_RGB32);
        face.fill(Qt::white);
        button.SetFace(COrgBitmap::FromImage(face));
        button.SetTextColor(QColor(200, 0, 0));
        button.SetDisabledTextColor(QColor(0, 0, 200));
        button.resize(120, 30);
        auto count = [](const QImage& image, QColor color) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    n += image.pixelColor(x, y) == color;
                }
            }
            return n;
        };
        QImage image = Render(button);
        QVERIFY(count(image, QColor(200, 0, 0)) > 0);
        QCOMPARE(count(image, QColor(0, 0, 200)), 0);
        button.setEnabled(false);
        image = Render(button);
        QCOMPARE(count(image, QColor(200, 0, 0)), 0);
        QVERIFY(count(image, QColor(0, 0, 200)) > 0);
    }

    void accessibleName_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("expected");
        QTest::newRow("caption") << "Human Body"
                                 << ""
                                 << ""
                                 << "Human Body";
        QTest::newRow("picture: tooltip") << ""
                                          << ""
                                          << "Execute once"
                                          << "Execute once";
        QTest::newRow("picture: own name kept") << ""
                                                << "Run"
                                                << "Execute once"
                                                << "Run";
    }
    void accessibleName() {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QFETCH(QString, tooltip);
        QFETCH(QString, expected);
        CStateBmpButton button(caption);
        if (!name.isEmpty()) {
            button.setAccessibleName(name);
        }
        button.setToolTip(tooltip);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&button);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), expected);
        QCOMPARE(iface->role(), QAccessible::Button);
    }

    // Generated faces draw sharply at 2×: a 2× rendering is not just the 1×
    // one enlarged (it has detail of its own along the edges).
    void generatedFacesAtTwoTimes() {
        for (FaceId id :
             {FaceId::kPushButton, FaceId::kTab, FaceId::kExecuteOnce, FaceId::kSettings}) {
            CStateBmpButton button;
            button.SetFace(ButtonFace(id));
            button.SetColumnCount(ButtonFace(id).Columns());
            button.resize(48, 48);
            const QImage one = Render(button, 1.0);
            const QImage two = Render(button, 2.0);
            QCOMPARE(two.size(), QSize(96, 96));
            const QImage enlarged =
                one.scaled(96, 96, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .convertToFormat(two.format());
            QVERIFY2(enlarged != two, qPrintable(QString::number(int(id))));
        }
        QVERIFY(ButtonFace(12345).IsNull());
    }
};
KYTO_WIDGET_TEST(StateBmpButtonTest);

#include "ButtonTest.moc"
