// The real message box, not the test seam: the module's texts and user
// names reach it (the version box shows the model name), so it must show
// them as typed, never as markup.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "WidgetTest.h"
#include "widgets/MessageBox.h"

class PlainTextBoxTest : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::Reset(); }

    void boxShowsMarkupAsTyped() {
        const QString text = QStringLiteral("<b>K</b>& <i>Firmware</i> version\n    2.0.1.7");
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            seen = true;
            // What the user reads: the box's text label.
            for (QLabel* label : box->findChildren<QLabel*>()) {
                if (label->text() == text) {
                    shown = label->text();
                    format = label->textFormat();
                }
            }
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(MessageBox::Information(nullptr, text), QMessageBox::Ok);
        QVERIFY(seen);
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(MessageBox::Shown().isEmpty());  // no seam in between
    }
};
KYTO_WIDGET_TEST(PlainTextBoxTest);

#include "PlainTextBoxTest.moc"
