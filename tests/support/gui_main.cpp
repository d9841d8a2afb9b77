// Entry point of the GUI test programs: a QApplication on the offscreen platform.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

#include <gtest/gtest.h>

#include <platform/form_style.h>
#include "private_settings.h"

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt complains when the runtime folder is missing or shared; give it a private one.
    QTemporaryDir runtimeDir;
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr && runtimeDir.isValid()) {
        QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner);
        setenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit().constData(), 1);
    }
    QApplication app(argc, argv);
    // As the program does, before any window is made: every face then resolves to the one
    // the program draws with, on any machine that has the fonts install-deps.sh brings.
    platform::installFonts();
    ::testing::InitGoogleTest(&argc, argv);
    testsupport::usePrivateSettings();
    return RUN_ALL_TESTS();
}
