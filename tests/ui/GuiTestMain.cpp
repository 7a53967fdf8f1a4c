#include <gtest/gtest.h>

#include <QApplication>

// The main of the Qt tests: one application on Qt's offscreen platform, for every case.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
