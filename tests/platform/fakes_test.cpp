#include <platform/fakes.h>

#include <gtest/gtest.h>

namespace {

using platform::Answer;
using platform::ButtonSet;
using platform::MessageKind;

TEST(FakePrompter, RecordsEveryBoxAndAnswersQuestionsFromTheScript) {
    platform::FakePrompter prompter(Answer::Cancel);
    prompter.queueAnswer(Answer::Ok);
    prompter.queueAnswer(Answer::No);

    prompter.warning("careful", "Caption");
    // A box with only OK leaves the script alone.
    EXPECT_EQ(prompter.pendingAnswers(), 2u);
    EXPECT_EQ(prompter.confirm("first?"), Answer::Ok);
    EXPECT_EQ(prompter.confirm("second?", ButtonSet::YesNo), Answer::No);
    // Script used up: the default answer, fitted to the buttons.
    EXPECT_EQ(prompter.confirm("third?", ButtonSet::YesNo), Answer::No);
    EXPECT_EQ(prompter.confirm("fourth?"), Answer::Cancel);
    prompter.error("bad");

    const auto& records = prompter.records();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].prompt.kind, MessageKind::Warning);
    EXPECT_EQ(records[0].prompt.caption, "Caption");
    EXPECT_EQ(records[0].answer, Answer::Ok);
    EXPECT_EQ(records[1].prompt.kind, MessageKind::Confirmation);
    EXPECT_EQ(records[1].prompt.buttons, ButtonSet::OkCancel);
    EXPECT_EQ(records[2].prompt.buttons, ButtonSet::YesNo);
    EXPECT_EQ(records[5].prompt.kind, MessageKind::Error);
    EXPECT_EQ(prompter.texts(),
              (std::vector<QString>{"careful", "first?", "second?", "third?", "fourth?", "bad"}));
}

TEST(FakePrompter, ScriptedAnswerFitsTheBox) {
    platform::FakePrompter prompter;
    prompter.queueAnswer(Answer::Yes);
    prompter.queueAnswer(Answer::Cancel);
    EXPECT_EQ(prompter.confirm("ok?", ButtonSet::OkCancel), Answer::Ok);
    EXPECT_EQ(prompter.confirm("yes?", ButtonSet::YesNo), Answer::No);
    EXPECT_EQ(prompter.confirm("default?", ButtonSet::YesNo), Answer::Yes);
}

TEST(FakeShell, RecordsRequestsAndAnswersAsSet) {
    platform::FakeShell shell;
    EXPECT_TRUE(shell.openUrl("www.x.org"));
    shell.setResult(false);
    EXPECT_FALSE(shell.openFile("/tmp/a.txt"));
    ASSERT_EQ(shell.records().size(), 2u);
    EXPECT_EQ(shell.records()[0].request, platform::FakeShell::Request::Url);
    EXPECT_EQ(shell.records()[1].request, platform::FakeShell::Request::File);
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"www.x.org", "/tmp/a.txt"}));
}

TEST(FakeClipboardAndDialer, RecordWhatTheyWereGiven) {
    platform::FakeClipboard clipboard;
    EXPECT_TRUE(clipboard.history().empty());
    clipboard.setText("a\r\n");
    clipboard.setText("b");
    EXPECT_EQ(clipboard.text(), "b");
    EXPECT_EQ(clipboard.history(), (std::vector<QString>{"a\r\n", "b"}));

    platform::FakePhoneDialer dialer;
    dialer.dialNumber("555-1234", "Adams");
    ASSERT_EQ(dialer.calls().size(), 1u);
    EXPECT_EQ(dialer.calls()[0].number, "555-1234");
    EXPECT_EQ(dialer.calls()[0].calledParty, "Adams");
}

}  // namespace
