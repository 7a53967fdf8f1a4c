#include <gtest/gtest.h>

#include <QApplication>

#include "ferrowin/qt/DialogFonts.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    uhf::DialogFonts::InstallSubstitutes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
