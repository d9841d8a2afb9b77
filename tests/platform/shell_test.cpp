#include <platform/shell.h>

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QUrl>

#include <filesystem>

#include <gtest/gtest.h>

#include <platform/fakes.h>
#include "temp_dir.h"
#include "test_paths.h"
#include "wait.h"

namespace {

using testsupport::makeFile;
using testsupport::qpath;

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
    platform::FakePrompter prompter{Answer::No};
    platform::RecordingHandOver desktop;
    platform::DesktopShell shell{prompter, desktop.handOver()};
    testsupport::TempDir dir;
    const std::vector<QString>& handedOver() const { return desktop.targets(); }
};

// The desktop gets the item's very text; only a "www." item gets "http://" in front.
const std::pair<QString, QString> kAddressesAsReceived[] = {
    {"https://shop.example/b?%5Fencoding=UTF8&node=301668", ""},
    {"http://x.example/%7Eanna/a%20b c", ""},
    {"www.x.example/~anna/J\u00fcrgen's page", "http://www.x.example/~anna/J\u00fcrgen's page"},
    {"ftp://d.example/100%/%zz", ""},
    {"mailto:?bcc=a@b.c,d@e.f", ""},
    {"Www.B.C/%41", "http://Www.B.C/%41"},
};

TEST_F(DesktopShellTest, AddressesReachTheDesktopExactlyAsWritten) {
    for (const auto& [address, received] : kAddressesAsReceived) {
        EXPECT_TRUE(shell.openUrl(address));
        ASSERT_FALSE(handedOver().empty());
        EXPECT_EQ(handedOver().back(), received.isEmpty() ? address : received);
    }
    EXPECT_EQ(handedOver().size(), std::size(kAddressesAsReceived));
    EXPECT_TRUE(prompter.records().empty());
}

// The real opener is started directly, the address its one argument, no shell between.
TEST_F(DesktopShellTest, TheOpenerProgramGetsTheAddressAsItsOneArgument) {
    const auto opener = dir / "opener";
    const auto seen = dir / "seen";
    testsupport::writeBytes(opener, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + seen.string() +
                                        ".part' && mv '" + seen.string() + ".part' '" +
                                        seen.string() + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    platform::DesktopShell onDesktop(prompter, platform::desktopHandOver(qpath(opener)));
    const QString address = "http://x.example/%7Eanna?q=$(touch ${HOME}/owned)&r=`id`";
    ASSERT_TRUE(onDesktop.openUrl(address));
    // The opener runs on its own.
    ASSERT_TRUE(
        testsupport::waitUntil([&] { return std::filesystem::exists(seen); }, "the opener to run"));
    EXPECT_EQ(QString::fromStdString(testsupport::readBytes(seen)), "1|" + address);
}

TEST_F(DesktopShellTest, OrdinaryFileOpensWithoutAQuestion) {
    const auto file = makeFile(dir / "letter 100%.txt");
    EXPECT_TRUE(shell.openFile(qpath(file)));
    EXPECT_EQ(handedOver(), (std::vector<QString>{qpath(file)}));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DesktopShellTest, ExecutableIsOpenedOnlyOnYes) {
    const auto program = makeFile(dir / "tool", true);

    prompter.queueAnswer(Answer::No);
    EXPECT_FALSE(shell.openFile(qpath(program)));
    EXPECT_TRUE(handedOver().empty());
    ASSERT_EQ(prompter.records().size(), 1u);
    const platform::Prompt& question = prompter.records()[0].prompt;
    EXPECT_EQ(question.kind, MessageKind::Confirmation);
    EXPECT_EQ(question.buttons, ButtonSet::YesNo);
    EXPECT_EQ(question.defaultAnswer, Answer::No);
    EXPECT_EQ(question.text, platform::runProgramQuestion(qpath(program)));
    EXPECT_TRUE(question.text.contains(qpath(program)));

    prompter.queueAnswer(Answer::Yes);
    EXPECT_TRUE(shell.openFile(qpath(program)));
    EXPECT_EQ(handedOver(), (std::vector<QString>{qpath(program)}));
}

TEST_F(DesktopShellTest, LauncherAsksEvenWithoutTheExecuteBit) {
    const auto launcher = makeFile(dir / "Game.DESKTOP");
    EXPECT_FALSE(shell.openFile(qpath(launcher)));
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_TRUE(handedOver().empty());
}

TEST_F(DesktopShellTest, FileUrlTakesTheSameQuestion) {
    const auto program = makeFile(dir / "tool.sh", true);
    EXPECT_FALSE(shell.openUrl(QUrl::fromLocalFile(qpath(program)).toString()));
    EXPECT_EQ(prompter.records().size(), 1u);
    EXPECT_TRUE(handedOver().empty());
    // A bare path given as an address is a file as well.
    EXPECT_FALSE(shell.openUrl(qpath(program)));
    EXPECT_EQ(prompter.records().size(), 2u);
    EXPECT_TRUE(handedOver().empty());
}

TEST_F(DesktopShellTest, FolderOpensWithoutAQuestion) {
    EXPECT_TRUE(shell.openFile(qpath(dir.path())));
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_EQ(handedOver().size(), 1u);
}

TEST_F(DesktopShellTest, MissingFileIsNotHandedOver) {
    EXPECT_FALSE(shell.openFile(qpath(dir / "gone.doc")));
    EXPECT_FALSE(shell.openFile(""));
    EXPECT_FALSE(shell.openUrl("C:\\x.doc"));
    EXPECT_TRUE(handedOver().empty());
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DesktopShellTest, TildeMeansTheHomeFolder) {
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(qpath(dir.path())));
    makeFile(dir / "notes.txt");
    const bool opened = shell.openFile("~/notes.txt");
    qputenv("HOME", oldHome);
    EXPECT_TRUE(opened);
    EXPECT_EQ(handedOver(), (std::vector<QString>{qpath(dir / "notes.txt")}));
}

}  // namespace
