// Runs every registered QTest class in one QApplication.
#include <QApplication>
#include <QTest>
#include <map>
#include <string>
#include <vector>

#include "WidgetTest.h"

namespace {
std::map<std::string, WidgetTestFactory>& Registry() {
    static std::map<std::string, WidgetTestFactory> registry;
    return registry;
}
}  // namespace

int RegisterWidgetTest(const char* name, WidgetTestFactory factory) {
    Registry().emplace(name, std::move(factory));
    return 0;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    app.setApplicationDisplayName(QStringLiteral("Kyto Demo"));

    std::vector<std::string> selected;
    QStringList qtestArgs{QString::fromLocal8Bit(argv[0])};
    bool passOn = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (passOn) {
            qtestArgs << QString::fromStdString(arg);
        } else if (arg == "--") {
            passOn = true;
        } else {
            selected.push_back(arg);
        }
    }
    int failures = 0;
    for (auto& [name, factory] : Registry()) {
        if (!selected.empty() &&
            std::find(selected.begin(), selected.end(), name) == selected.end()) {
            continue;
        }
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), qtestArgs);
    }
    return failures == 0 ? 0 : 1;
}
