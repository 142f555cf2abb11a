// Window messages and the worker's completions reach the window thread as
// posted events, in order, from any thread, and never reach a window that
// has gone.

#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "app/ui/WindowMessages.h"
#include "app/ui/WindowPoster.h"

namespace {

class CRecorder : public QObject {
public:
    struct Seen {
        WindowMessage message;
        QObject* sender;
        std::int64_t value;
    };
    std::vector<Seen> seen;

protected:
    bool event(QEvent* e) override {
        if (auto* m = CWindowMessage::From(e)) {
            seen.push_back({m->Message(), m->Sender(), m->Value()});
            return true;
        }
        return QObject::event(e);
    }
};

}  // namespace

class WindowMessageTests : public QObject {
    Q_OBJECT

private slots:
    void MessagesArePostedNotSent() {
        CRecorder window;
        QObject page;
        PostWindowMessage(&window, UWM_EXEC_START, &page);
        PostWindowMessage(&window, UWM_EXEC_ERROR, nullptr, -20);
        // Posting returns before the receiver has seen anything.
        QVERIFY(window.seen.empty());
        QCoreApplication::sendPostedEvents(&window);
        QCOMPARE(window.seen.size(), size_t{2});
        QCOMPARE(window.seen[0].message, UWM_EXEC_START);
        QCOMPARE(window.seen[0].sender, &page);
        QCOMPARE(window.seen[1].message, UWM_EXEC_ERROR);
        QCOMPARE(window.seen[1].value, std::int64_t{-20});
    }

    void SenderDestroyedBeforeDeliveryReadsAsNone() {
        CRecorder window;
        auto page = std::make_unique<QObject>();
        PostWindowMessage(&window, UWM_SETTINGS, page.get());
        page.reset();
        QCoreApplication::sendPostedEvents(&window);
        QCOMPARE(window.seen.size(), size_t{1});
        QCOMPARE(window.seen[0].sender, nullptr);
    }

    void PointsSurviveNegativeCoordinates_data() {
        QTest::addColumn<QPoint>("point");
        QTest::newRow("origin") << QPoint(0, 0);
        QTest::newRow("client") << QPoint(120, 37);
        QTest::newRow("left of the primary screen") << QPoint(-1280, 400);
        QTest::newRow("above") << QPoint(15, -3);
        QTest::newRow("16-bit limits") << QPoint(32767, -32768);
    }
    void PointsSurviveNegativeCoordinates() {
        QFETCH(QPoint, point);
        const std::int64_t packed = CWindowMessage::PackPoint(point);
        QCOMPARE(CWindowMessage::UnpackPoint(packed), point);
        // x in the high half, y in the low half.
        QCOMPARE(static_cast<std::int16_t>(packed & 0xFFFF), static_cast<std::int16_t>(point.y()));
    }

    void OtherEventsAreNotMessages() {
        QEvent paint(QEvent::Paint);
        QVERIFY(CWindowMessage::From(&paint) == nullptr);
        QEvent user(static_cast<QEvent::Type>(QEvent::User + 1));
        QVERIFY(CWindowMessage::From(&user) == nullptr);
    }

    void CompletionsFromAnotherThreadRunOnTheWindowThreadInOrder() {
        QObject window;
        CWindowPoster poster(&window);
        const Poster post = poster.Get();
        std::vector<int> order;
        std::atomic<int> wrongThread{0};
        const auto windowThread = QThread::currentThread();
        std::thread worker([&] {
            for (int i = 0; i < 100; ++i) {
                post([&, i] {
                    if (QThread::currentThread() != windowThread) {
                        ++wrongThread;
                    }
                    order.push_back(i);
                });
            }
        });
        worker.join();
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t{100}, 5000);
        QCOMPARE(wrongThread.load(), 0);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(order[static_cast<size_t>(i)], i);
        }
    }

    void CompletionsForAWindowThatHasGoneAreDropped() {
        auto ran = std::make_shared<std::atomic<int>>(0);
        Poster post;
        {
            auto window = std::make_unique<QObject>();
            CWindowPoster poster(window.get());
            post = poster.Get();
            post([ran] { ++*ran; });  // queued, then discarded with the window
        }
        post([ran] { ++*ran; });  // after the window: never posted
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(ran->load(), 0);
    }
};

QTEST_GUILESS_MAIN(WindowMessageTests)
#include "WindowMessageTests.moc"
