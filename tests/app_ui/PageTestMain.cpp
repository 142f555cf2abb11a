// Runs the page and result pane tests in one window application.
#include <QApplication>
#include <cstdlib>

int RunPageTests(int argc, char** argv);
int RunResultLogTests(int argc, char** argv);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int failed = 0;
    failed |= RunPageTests(argc, argv);
    failed |= RunResultLogTests(argc, argv);
    return failed;
}
