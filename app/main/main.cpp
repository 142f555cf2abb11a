// kyto-demo: the desktop program. Reads its options, enters the data folder
// and runs the application object.

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/ui/KytoDemoApp.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/WindowMessages.h"
#include "base/DataFolder.h"
#include "base/InstallLayout.h"
#include "widgets/MessageBox.h"

namespace {

struct ProgramOptions {
    std::string dataDir;
    std::string port;
    std::string screenshot;
    int quitAfterMs = -1;
    bool continuous = false;
};

void PrintHelp() {
    std::cout << "Usage: kyto-demo [options]\n"
                 "The Kyto Demo window: connects to the module (asking for the port when none\n"
                 "is stored or \"Connect on startup\" is off) and shows its detection results.\n"
                 "\n"
                 "Options:\n"
                 "  --data-dir DIR     keep settings, logs and module data in DIR\n"
                 "  --port NAME        connect to this port at start (a device path, or LAN)\n"
                 "                     instead of the stored one\n"
                 "  --continuous       start continuous detection once connected\n"
                 "  --screenshot FILE  after the first frame (or 15 s), save the main window as\n"
                 "                     a PNG image and close; message boxes take their default\n"
                 "                     answer instead of waiting (for scripts and CI)\n"
                 "  --quit-after MS    close the window MS milliseconds after start-up; message\n"
                 "                     boxes take their default answer (for scripts)\n"
                 "  --version          print the version\n"
                 "  -h, --help         print this help\n"
                 "\n"
              << DescribeDataFolderRule()
              << "\n"
                 "Exit status: 0 after the window closed, 1 when no connection was made (the\n"
                 "connection dialog was cancelled) or the data folder cannot be used, 2 for a\n"
                 "wrong option.\n";
}

// 0 go on, 1 done (help, version), 2 usage error. Qt's own options (such as
// -platform) are left to QApplication.
int ParseOptions(int argc, char** argv, ProgramOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            const std::string::size_type eq = a.find('=');
            if (eq != std::string::npos) {
                out = a.substr(eq + 1);
                return true;
            }
            if (i + 1 >= argc) {
                std::cerr << "kyto-demo: " << a << " needs a value\n";
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            PrintHelp();
            return 1;
        }
        if (a == "--version") {
            std::cout << "kyto-demo " << KYTO_VERSION << "\n";
            return 1;
        }
        if (a == "--data-dir" || a.rfind("--data-dir=", 0) == 0) {
            if (!value(options.dataDir)) {
                return 2;
            }
        } else if (a == "--screenshot" || a.rfind("--screenshot=", 0) == 0) {
            if (!value(options.screenshot)) {
                return 2;
            }
        } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
            if (!value(options.port)) {
                return 2;
            }
        } else if (a == "--quit-after" || a.rfind("--quit-after=", 0) == 0) {
            std::string ms;
            if (!value(ms)) {
                return 2;
            }
            char* end = nullptr;
            const long v = std::strtol(ms.c_str(), &end, 10);
            if (ms.empty() || *end != '\0' || v < 0 || v > 24L * 3600 * 1000) {
                std::cerr << "kyto-demo: --quit-after needs milliseconds, not \"" << ms << "\"\n";
                return 2;
            }
            options.quitAfterMs = static_cast<int>(v);
        } else if (a == "--continuous") {
            options.continuous = true;
        } else if (a.rfind("--", 0) == 0) {
            std::cerr << "kyto-demo: unknown option " << a << " (see --help)\n";
            return 2;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramOptions options;
    if (const int parsed = ParseOptions(argc, argv, options); parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("kyto-demo");
    QApplication::setApplicationDisplayName("Kyto Demo");
    QApplication::setApplicationVersion(KYTO_VERSION);
    QGuiApplication::setDesktopFileName(KYTO_DESKTOP_FILE_NAME);
    // The program ends when the main window has finished its shutdown, not
    // when the connection dialog (the only window at first) closes.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!options.screenshot.empty() || options.quitAfterMs >= 0) {
        MessageBox::SetTestMode(true);
    }

    // A relative screenshot path means the folder the program was started
    // in, not the data folder it is about to enter.
    if (!options.screenshot.empty()) {
        options.screenshot = std::filesystem::absolute(options.screenshot).string();
    }
    const DataFolderEntry entry =
        EnterDataFolder(PlanDataFolder(options.dataDir, DataFolderHost::FromProcess()));
    for (const std::string& warning : entry.warnings) {
        std::cerr << "kyto-demo: warning: " << warning << "\n";
    }
    if (!entry.ok) {
        std::cerr << "kyto-demo: " << entry.error << "\n";
        MessageBox::Warning(nullptr, QString::fromStdString(entry.error));
        return 1;
    }

    CKytoDemoApp::Options appOptions;
    appOptions.port = options.port;
    CKytoDemoApp demo(appOptions);
    if (demo.Start() != 0) {
        demo.Finish();
        return 1;
    }
    CKytoDemoDlg* window = demo.MainWindow();
    if (options.continuous || !options.screenshot.empty()) {
        QObject::connect(window, &CKytoDemoDlg::Ready, window,
                         [window] { PostWindowMessage(window, UWM_EXEC_START, nullptr); });
    }
    if (options.quitAfterMs >= 0) {
        const int ms = options.quitAfterMs;
        QObject::connect(window, &CKytoDemoDlg::Ready, window, [window, ms] {
            QTimer::singleShot(ms, window, [window] { window->close(); });
        });
    }
    if (!options.screenshot.empty()) {
        const QString file = QString::fromStdString(options.screenshot);
        auto shoot = [window, file] {
            static bool done = false;
            if (done) {
                return;
            }
            done = true;
            // Let the frame's paint land first.
            QTimer::singleShot(200, window, [window, file] {
                if (!window->SaveScreenshot(file)) {
                    std::cerr << "kyto-demo: cannot write " << file.toStdString() << "\n";
                }
                window->close();
            });
        };
        QObject::connect(window, &CKytoDemoDlg::FrameShown, window, shoot);
        QTimer::singleShot(15000, window, shoot);
    }
    QEventLoop loop;
    QObject::connect(&demo, &CKytoDemoApp::MainWindowFinished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    loop.exec();
    demo.Finish();
    return 0;
}
