#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLocale>
#include <QStandardPaths>

// Widgets off screen, in a fixed locale, with preferences and paths of their own.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
