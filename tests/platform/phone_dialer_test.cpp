#include <platform/phone_dialer.h>

#include <QString>

#include <filesystem>

#include <gtest/gtest.h>

#include <platform/fakes.h>
#include <platform/shell.h>
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using platform::HandlerPresence;
using platform::MessageKind;

TEST(TelUri, KeepsWhatATelUriAllowsAndEncodesTheRest) {
    EXPECT_EQ(platform::telUri("206-555-1234"), "tel:206-555-1234");
    EXPECT_EQ(platform::telUri("+1 (206) 555.1234"), "tel:+1%20(206)%20555.1234");
    EXPECT_EQ(platform::telUri("*31#555-1234"), "tel:*31%23555-1234");
    EXPECT_EQ(platform::telUri("555-1234;ext=7"), "tel:555-1234%3Bext%3D7");
    EXPECT_EQ(platform::telUri("1/2?3&4%"), "tel:1%2F2%3F3%264%25");
    EXPECT_EQ(platform::telUri("1-800-FLOWERS"), "tel:1-800-FLOWERS");
    EXPECT_EQ(platform::telUri(QString::fromUtf8("555\u00a01234")), "tel:555%C2%A01234");
}

class DialerTest : public ::testing::Test {
  protected:
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeSchemeHandlerLookup handlers;
    platform::DesktopPhoneDialer dialer{prompter, shell, handlers};
};

TEST_F(DialerTest, HandsTheNumberOverAsTelUri) {
    dialer.dialNumber("206-555-1234", "Adams");
    EXPECT_EQ(handlers.schemesAsked(), (std::vector<QString>{"tel"}));
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"tel:206-555-1234"}));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(DialerTest, NoTelHandlerWarnsAndOpensNothing) {
    handlers.setPresence(HandlerPresence::Absent);
    dialer.dialNumber("555-1234", "Adams");
    EXPECT_TRUE(shell.records().empty());
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, MessageKind::Warning);
    EXPECT_EQ(prompter.records()[0].prompt.text,
              "Unable to dial the number.\r\nNo telephone dialer is set up for tel: links.");
}

TEST_F(DialerTest, RefusedHandOverGivesTheSecondWarning) {
    shell.setResult(false);
    dialer.dialNumber("555-1234", "Adams");
    EXPECT_EQ(shell.records().size(), 1u);
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.kind, MessageKind::Warning);
    EXPECT_EQ(prompter.records()[0].prompt.text,
              "Unable to dial the number.\r\nMake sure no other devices are using the Com port."
              "\r\nand Dialer.exe is installed in c:\\windows");
}

TEST_F(DialerTest, UnknownHandlerStillTriesTheHandOver) {
    handlers.setPresence(HandlerPresence::Unknown);
    dialer.dialNumber("555-1234", "Adams");
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"tel:555-1234"}));
    EXPECT_TRUE(prompter.records().empty());
}

TEST(DialerOnTheDesktop, DesktopReceivesTheEncodedUri) {
    platform::FakePrompter prompter;
    platform::RecordingHandOver desktop;
    platform::DesktopShell shell(prompter, desktop.handOver());
    platform::FakeSchemeHandlerLookup handlers;
    platform::DesktopPhoneDialer dialer(prompter, shell, handlers);

    dialer.dialNumber("+1 (206) 555-1234#9", "Baker");
    EXPECT_EQ(desktop.targets(), (std::vector<QString>{"tel:+1%20(206)%20555-1234%239"}));
    EXPECT_TRUE(prompter.records().empty());
}

// A stand-in for xdg-mime: a script that notes its arguments and answers as told.
class HandlerLookupTest : public ::testing::Test {
  protected:
    QString script(const std::string& body) {
        const auto path = dir / "xdg-mime";
        testsupport::writeBytes(
            path, "#!/bin/sh\necho \"$@\" > '" + (dir / "args").string() + "'\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return testsupport::qpath(path);
    }
    std::string argsSeen() {
        const auto lines = testsupport::readLines(dir / "args");
        return lines.empty() ? std::string() : lines.front();
    }
    testsupport::TempDir dir;
};

TEST_F(HandlerLookupTest, NamedDesktopFileMeansPresent) {
    platform::DesktopSchemeHandlerLookup lookup(script("echo org.gnome.Calls.desktop"));
    EXPECT_EQ(lookup.handlerFor("tel"), HandlerPresence::Present);
    EXPECT_EQ(argsSeen(), "query default x-scheme-handler/tel");
}

TEST_F(HandlerLookupTest, EmptyAnswerMeansAbsent) {
    platform::DesktopSchemeHandlerLookup lookup(script("echo"));
    EXPECT_EQ(lookup.handlerFor("tel"), HandlerPresence::Absent);
}

TEST_F(HandlerLookupTest, FailingMissingOrSlowToolMeansUnknown) {
    platform::DesktopSchemeHandlerLookup failing(script("echo oops >&2; exit 3"));
    EXPECT_EQ(failing.handlerFor("tel"), HandlerPresence::Unknown);

    platform::DesktopSchemeHandlerLookup missing(testsupport::qpath(dir / "none"));
    EXPECT_EQ(missing.handlerFor("tel"), HandlerPresence::Unknown);

    // A tool that never answers: the lookup gives up after its time-out, whatever the clock
    // of the machine, and does not take the tool's late answer.
    platform::DesktopSchemeHandlerLookup silent(script("exec sleep 600"), 200);
    EXPECT_EQ(silent.handlerFor("tel"), HandlerPresence::Unknown);
}

}  // namespace
