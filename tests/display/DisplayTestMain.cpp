#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>

// Fonts and text drawing need a GUI application object; the offscreen
// platform lets the tests run without a display.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
