#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <filesystem>

#include <gtest/gtest.h>

#include <platform/clipboard.h>
#include <platform/help_pages.h>
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using testsupport::qpath;

TEST(DesktopClipboard, TextRoundTrips) {
    platform::DesktopClipboard clipboard;
    clipboard.setText("/home/u/list.m3u\r\n");
    EXPECT_EQ(clipboard.text(), "/home/u/list.m3u\r\n");
    clipboard.setText(QString::fromUtf8("Z\u00fcrich"));
    EXPECT_EQ(clipboard.text(), QString::fromUtf8("Z\u00fcrich"));
}

TEST(HelpPages, PageComesFromTheFirstFolderThatHasIt) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "installed");
    std::filesystem::create_directories(dir / "source");
    testsupport::writeBytes(dir / "source" / "index.html", "<html></html>");
    testsupport::writeBytes(dir / "installed" / "writing-to-several.html", "<html></html>");
    const QStringList folders = {qpath(dir / "missing"), qpath(dir / "installed"),
                                 qpath(dir / "source")};

    EXPECT_EQ(platform::helpPageUrlIn(folders, "index.html"),
              QUrl::fromLocalFile(qpath(dir / "source" / "index.html")));
    EXPECT_EQ(platform::helpPageUrlIn(folders, "writing-to-several.html"),
              QUrl::fromLocalFile(qpath(dir / "installed" / "writing-to-several.html")));
    // Nowhere to be found: still an address, in the first folder that exists.
    EXPECT_EQ(platform::helpPageUrlIn(folders, "reports.html"),
              QUrl::fromLocalFile(qpath(dir / "installed" / "reports.html")));
    EXPECT_EQ(platform::helpPageUrlIn({qpath(dir / "missing")}, "index.html"),
              QUrl::fromLocalFile(qpath(dir / "missing" / "index.html")));
    EXPECT_TRUE(platform::helpPageUrlIn({}, "index.html").isEmpty());
}

TEST(HelpPages, LooksBesideTheProgramThenInTheSourceTree) {
    const QStringList folders = platform::helpFolders();
    ASSERT_GE(folders.size(), 2);
    EXPECT_EQ(folders[0],
              QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/cardhold/help"));
    EXPECT_EQ(folders[1], QDir::cleanPath(CARDHOLD_SOURCE_DIR "/docs/help"));
    EXPECT_TRUE(platform::helpPageUrl().isLocalFile());
    EXPECT_TRUE(platform::helpPageUrl().path().endsWith("/index.html"));
}

}  // namespace
