#include <platform/prompter.h>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

#include <gtest/gtest.h>

namespace {

using platform::Answer;
using platform::ButtonSet;
using platform::DesktopPrompter;
using platform::MessageKind;
using platform::Prompt;

TEST(DisplayText, EveryLineEndBecomesOneLineBreak) {
    EXPECT_EQ(platform::displayText("saved to x\rAlso copied"), "saved to x\nAlso copied");
    EXPECT_EQ(platform::displayText("a\r\nb\r\nc"), "a\nb\nc");
    EXPECT_EQ(platform::displayText("a\nb"), "a\nb");
    EXPECT_EQ(platform::displayText("a\r\r\nb\n\rc\r"), "a\n\nb\n\nc\n");
    EXPECT_EQ(platform::displayText("plain"), "plain");
}

TEST(AnswerWithin, AnswersFitTheButtons) {
    EXPECT_EQ(platform::answerWithin(ButtonSet::OkCancel, Answer::Yes), Answer::Ok);
    EXPECT_EQ(platform::answerWithin(ButtonSet::OkCancel, Answer::No), Answer::Cancel);
    EXPECT_EQ(platform::answerWithin(ButtonSet::YesNo, Answer::Ok), Answer::Yes);
    EXPECT_EQ(platform::answerWithin(ButtonSet::YesNo, Answer::Cancel), Answer::No);
    EXPECT_EQ(platform::answerWithin(ButtonSet::Ok, Answer::Cancel), Answer::Ok);
    EXPECT_EQ(platform::escapeAnswer(ButtonSet::YesNo), Answer::No);
    EXPECT_EQ(platform::escapeAnswer(ButtonSet::Ok), Answer::Ok);
    EXPECT_EQ(platform::answerWithin(ButtonSet::YesNoCancel, Answer::Ok), Answer::Yes);
    EXPECT_EQ(platform::answerWithin(ButtonSet::YesNoCancel, Answer::No), Answer::No);
    EXPECT_EQ(platform::escapeAnswer(ButtonSet::YesNoCancel), Answer::Cancel);
}

// What a message box showed, noted while it was open.
struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget* parent = nullptr;
};

// Waits for the next modal message box, notes it, then presses `press`, or Esc when `press`
// is NoButton.
void answerNextBox(SeenBox& seen, QMessageBox::StandardButton press, int triesLeft = 200) {
    QTimer::singleShot(10, [&seen, press, triesLeft] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (triesLeft > 0) answerNextBox(seen, press, triesLeft - 1);
            return;
        }
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.format = box->textFormat();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton = box->standardButton(box->defaultButton());
        seen.parent = box->parentWidget();
        if (press == QMessageBox::NoButton) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        } else {
            box->button(press)->click();
        }
    });
}

class DesktopPrompterTest : public ::testing::Test {
  protected:
    void SetUp() override { platform::setApplicationTitle("Marigold Cardhold"); }

    QWidget window;
    DesktopPrompter prompter{&window};
    SeenBox seen;
};

TEST_F(DesktopPrompterTest, PlainMessageHasNoIconOneOkAndTheApplicationTitle) {
    answerNextBox(seen, QMessageBox::Ok);
    prompter.message("Selected list saved to /tmp/a.m3u\rAlso, that file name was copied");
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.title, "Marigold Cardhold");
    EXPECT_EQ(seen.text, "Selected list saved to /tmp/a.m3u\nAlso, that file name was copied");
    EXPECT_EQ(seen.parent, &window);
}

TEST_F(DesktopPrompterTest, EachKindShowsItsIcon) {
    const std::pair<std::function<void()>, QMessageBox::Icon> cases[] = {
        {[&] { prompter.information("i"); }, QMessageBox::Information},
        {[&] { prompter.warning("w"); }, QMessageBox::Warning},
        {[&] { prompter.error("e"); }, QMessageBox::Critical},
    };
    for (const auto& [show, icon] : cases) {
        seen = {};
        answerNextBox(seen, QMessageBox::Ok);
        show();
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(seen.icon, icon);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

TEST_F(DesktopPrompterTest, WarningShowsCrLfAsLineBreaksAndItsOwnCaption) {
    answerNextBox(seen, QMessageBox::Ok);
    prompter.warning("Unable to dial the number.\r\nSecond line.\r\nThird", "Dialer");
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.text, "Unable to dial the number.\nSecond line.\nThird");
    EXPECT_EQ(seen.title, "Dialer");
}

TEST_F(DesktopPrompterTest, TextIsNeverReadAsMarkup) {
    answerNextBox(seen, QMessageBox::Ok);
    prompter.error("File <b>x</b>.doc does NOT exist");
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, "File <b>x</b>.doc does NOT exist");
}

TEST_F(DesktopPrompterTest, OkCancelConfirmationReturnsTheButtonPressed) {
    answerNextBox(seen, QMessageBox::Cancel);
    EXPECT_EQ(prompter.confirm("Add a@b.c to entry?"), Answer::Cancel);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Ok);

    seen = {};
    answerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(prompter.confirm("Add a@b.c to entry?"), Answer::Ok);
}

TEST_F(DesktopPrompterTest, YesNoConfirmationAndEscapeMeansNo) {
    answerNextBox(seen, QMessageBox::Yes);
    EXPECT_EQ(prompter.confirm("Go on?", ButtonSet::YesNo), Answer::Yes);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    seen = {};
    answerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(prompter.confirm("Go on?", ButtonSet::YesNo), Answer::No);
    EXPECT_TRUE(seen.seen);

    seen = {};
    answerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(prompter.confirm("Go on?", ButtonSet::OkCancel), Answer::Cancel);
}

TEST_F(DesktopPrompterTest, DefaultButtonFollowsThePrompt) {
    answerNextBox(seen, QMessageBox::No);
    const Prompt risky{MessageKind::Confirmation, "Run it?", ButtonSet::YesNo, {}, Answer::No};
    EXPECT_EQ(prompter.prompt(risky), Answer::No);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.defaultButton, QMessageBox::No);
}

}  // namespace
