#include "platform/shell.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/fakes.h"
#include "temp_dir.h"
#include "test_paths.h"
#include "url_catcher.h"

namespace {

using testsupport::qpath;
using testsupport::makeFile;

using platform::Answer;
using platform::ButtonSet;
using platform::MessageKind;

TEST(WithWebScheme, OnlyWwwItemsGetHttp) {
    EXPECT_EQ(platform::withWebScheme("www.x.org"), "http://www.x.org");
    EXPECT_EQ(platform::withWebScheme("Www.B.C"), "http://Www.B.C");
    EXPECT_EQ(platform::withWebScheme("https://www.x.org"), "https://www.x.org");
    EXPECT_EQ(platform::withWebScheme("ftp://d.e"), "ftp://d.e");
    EXPECT_EQ(platform::withWebScheme("wwwx.org"), "wwwx.org");
}

class DesktopShellTest : public ::testing::Test {
  protected:
    UrlCatcher catcher;
    platform::FakePrompter prompter{Answer::No};
    platform::DesktopShell shell{prompter};
    testsupport::TempDir dir;
};

TEST_F(DesktopShellTest, WwwItemIsHandedOverAsHttp) {
    EXPECT_TRUE(shell.openUrl("www.x.org"));
    ASSERT_EQ(catcher.urls().size(), 1u);
    EXPECT_EQ(catcher.urls()[0].toString(), "http://www.x.org");
}

TEST_F(DesktopShellTest, UrlsWithASchemeAreHandedOverUnchanged) {
    EXPECT_TRUE(shell.openUrl("mailto:?bcc=a@b.c,d@e.f"));
    EXPECT_TRUE(shell.openUrl("https://b.c/x.html?q=1"));
    EXPECT_TRUE(shell.openUrl("ftp://d.e"));
    ASSERT_EQ(catcher.urls().size(), 3u);
    EXPECT_EQ(catcher.urls()[0].toString(), "mailto:?bcc=a@b.c,d@e.f");
    EXPECT_EQ(catcher.urls()[1].toString(), "https://b.c/x.html?q=1");
    EXPECT_EQ(catcher.urls()[2].toString(), "ftp://d.e");
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DesktopShellTest, OrdinaryFileOpensWithoutAQuestion) {
    const auto file = makeFile(dir / "letter.txt");
    EXPECT_TRUE(shell.openFile(qpath(file)));
    ASSERT_EQ(catcher.urls().size(), 1u);
    EXPECT_EQ(catcher.urls()[0], QUrl::fromLocalFile(qpath(file)));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DesktopShellTest, ExecutableIsOpenedOnlyOnYes) {
    const auto program = makeFile(dir / "tool", true);

    prompter.queueAnswer(Answer::No);
    EXPECT_FALSE(shell.openFile(qpath(program)));
    EXPECT_TRUE(catcher.urls().empty());
    ASSERT_EQ(prompter.records().size(), 1u);
    const platform::Prompt& question = prompter.records()[0].prompt;
    EXPECT_EQ(question.kind, MessageKind::Confirmation);
    EXPECT_EQ(question.buttons, ButtonSet::YesNo);
    EXPECT_EQ(question.defaultAnswer, Answer::No);
    EXPECT_EQ(question.text, platform::runProgramQuestion(qpath(program)));
    EXPECT_TRUE(question.text.contains(qpath(program)));

    prompter.queueAnswer(Answer::Yes);
    EXPECT_TRUE(shell.openFile(qpath(program)));
    ASSERT_EQ(catcher.urls().size(), 1u);
    EXPECT_EQ(catcher.urls()[0], QUrl::fromLocalFile(qpath(program)));
}

TEST_F(DesktopShellTest, LauncherAsksEvenWithoutTheExecuteBit) {
    const auto launcher = makeFile(dir / "Game.DESKTOP");
    EXPECT_FALSE(shell.openFile(qpath(launcher)));
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_TRUE(catcher.urls().empty());
}

TEST_F(DesktopShellTest, FileUrlTakesTheSameQuestion) {
    const auto program = makeFile(dir / "tool.sh", true);
    EXPECT_FALSE(shell.openUrl(QUrl::fromLocalFile(qpath(program)).toString()));
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_TRUE(catcher.urls().empty());
    // A bare path given as an address is a file as well.
    EXPECT_FALSE(shell.openUrl(qpath(program)));
    EXPECT_EQ(prompter.records().size(), 2u);
    EXPECT_TRUE(catcher.urls().empty());
}

TEST_F(DesktopShellTest, FolderOpensWithoutAQuestion) {
    EXPECT_TRUE(shell.openFile(qpath(dir.path())));
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_EQ(catcher.urls().size(), 1u);
}

TEST_F(DesktopShellTest, MissingFileIsNotHandedOver) {
    EXPECT_FALSE(shell.openFile(qpath(dir / "gone.doc")));
    EXPECT_FALSE(shell.openFile(""));
    EXPECT_FALSE(shell.openUrl("C:\\x.doc"));
    EXPECT_TRUE(catcher.urls().empty());
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DesktopShellTest, TildeMeansTheHomeFolder) {
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(qpath(dir.path())));
    makeFile(dir / "notes.txt");
    const bool opened = shell.openFile("~/notes.txt");
    qputenv("HOME", oldHome);
    EXPECT_TRUE(opened);
    ASSERT_EQ(catcher.urls().size(), 1u);
    EXPECT_EQ(catcher.urls()[0], QUrl::fromLocalFile(qpath(dir / "notes.txt")));
}

}  // namespace
