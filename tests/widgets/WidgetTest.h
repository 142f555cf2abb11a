#pragma once

// The test classes of this folder register themselves here; one executable
// runs them all (or those named on the command line: widgets_tests
// WaitDlgTest -- -v2 passes the options after "--" to QTest).

#include <QCoreApplication>
#include <QObject>
#include <functional>
#include <memory>

using WidgetTestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterWidgetTest(const char* name, WidgetTestFactory factory);

#define KYTO_WIDGET_TEST(Class)                           \
    static const int Class##Registered [[maybe_unused]] = \
        RegisterWidgetTest(#Class, [] { return std::unique_ptr<QObject>(new Class); })

// Runs f on the window thread after `hops` rounds of posted events, so that
// what the window posted before (and what that posted) has been delivered.
// Used to act inside a modal run.
inline void AfterEvents(int hops, std::function<void()> f) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [hops, f = std::move(f)]() mutable {
            if (hops <= 1) {
                f();
            } else {
                AfterEvents(hops - 1, std::move(f));
            }
        },
        Qt::QueuedConnection);
}
