// Main of the window tests: every process gets its own temporary HOME, XDG_CONFIG_HOME
// and working directory, and a QApplication on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/test_environment.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    kantrel::test::IsolatedEnvironment environment;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kantrel USB"));
    return RUN_ALL_TESTS();
}
