#pragma once
// Tests never read or write the settings of the user running them: QSettings is sent to
// a private folder, emptied before every test so that no test sees what another left.

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace testsupport {

class PrivateSettings : public ::testing::EmptyTestEventListener {
  public:
    PrivateSettings() {
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, folder_.path());
            QSettings::setPath(format, QSettings::SystemScope, folder_.path() + "/system");
        }
    }
    void OnTestStart(const ::testing::TestInfo&) override {
        QDir(folder_.path()).removeRecursively();
        QDir().mkpath(folder_.path());
    }

  private:
    QTemporaryDir folder_;
};

// Call once, before the tests run.
inline void usePrivateSettings() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new PrivateSettings);
}

}  // namespace testsupport
