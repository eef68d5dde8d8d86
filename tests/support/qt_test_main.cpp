// Test main for code that needs a QApplication (image files, windows). Tests
// run on the offscreen platform unless the environment says otherwise.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pixmend");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
