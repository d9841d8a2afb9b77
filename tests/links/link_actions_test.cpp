#include <links/link_actions.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include <links/item_chooser.h>
#include <platform/fakes.h>
#include <platform/phone_dialer.h>
#include <platform/shell.h>
#include "chooser_driver.h"
#include "fake_entry.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using testsupport::makeFile;
using testsupport::qpath;

using links::ItemChooser;
using links::ItemKind;
using linktest::ChooserDriver;
using platform::Answer;

class LinkActionsTest : public ::testing::Test {
  protected:
    platform::FakePrompter prompter{Answer::Ok};
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    ItemChooser chooser{prompter, shell, clipboard};
    linktest::FakeEntry entry;
    links::LinkActions actions{entry, chooser, prompter, shell, dialer};

    // Runs a toolbar action whose chooser is answered by `answer`.
    void run(void (links::LinkActions::*action)(), const ChooserDriver::Answer& answer,
             links::LinkActions* on = nullptr) {
        ChooserDriver driver(chooser, answer);
        ((on != nullptr ? *on : actions).*action)();
        EXPECT_TRUE(driver.answered());
    }
};

// --- E-mail

TEST_F(LinkActionsTest, TypedAddressIsMailedThenAddedBelowTheMemo) {
    entry.name = "Smith";
    entry.memo = "12 Oak Street\r\nSpringfield";
    run(&links::LinkActions::sendEmail, linktest::typeAndOk("a@b.c"));

    EXPECT_EQ(shell.targets(), (std::vector<QString>{"mailto:a@b.c"}));
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.text, "Add a@b.c to entry?");
    EXPECT_EQ(prompter.records()[0].prompt.buttons, platform::ButtonSet::OkCancel);
    EXPECT_EQ(entry.memo, "12 Oak Street\r\nSpringfield\r\nEmail: a@b.c");
    EXPECT_EQ(entry.saves, 1);
    EXPECT_EQ(entry.steps,
              (std::vector<std::string>{"focus memo", "edit", "append", "post", "focus grid"}));
}

TEST_F(LinkActionsTest, OneAddressFoundIsMailedAsEditedWithoutAddingIt) {
    entry.memo = "Mail: jo@home.org";
    QString offered;
    run(&links::LinkActions::sendEmail, [&](ItemChooser& d) {
        offered = d.answerEdit->text();
        d.answerEdit->setText("jo@work.org");
        d.okButton->click();
    });
    EXPECT_EQ(offered, "jo@home.org");
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"mailto:jo@work.org"}));
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_TRUE(entry.steps.empty());
}

TEST_F(LinkActionsTest, SendToAllJoinsEveryAddressInListOrderOpenlyOrAsBlindCopies) {
    // The name's address first, then the memo's from the last line up.
    entry.name = "Club n@m.e";
    entry.memo = "first a@b.c\r\nsecond d@e.f\r\nthird g@h.i";
    struct Case {
        bool sendToAll;
        bool blind;
        const char* address;
    };
    const Case cases[] = {
        {true, false, "mailto:n@m.e,g@h.i,d@e.f,a@b.c"},
        {true, true, "mailto:?bcc=n@m.e,g@h.i,d@e.f,a@b.c"},
        {false, false, "mailto:d@e.f"},
    };
    for (const Case& c : cases) {
        bool bccGreyedAtFirst = false;
        run(&links::LinkActions::sendEmail, [&](ItemChooser& d) {
            bccGreyedAtFirst = d.sendAsBccCheck->isVisible() && !d.sendAsBccCheck->isEnabled();
            d.itemCombo->setCurrentIndex(2);
            if (c.sendToAll) d.optionCheck->click();
            if (c.blind) d.sendAsBccCheck->click();
            d.okButton->click();
        });
        EXPECT_TRUE(bccGreyedAtFirst);
        ASSERT_FALSE(shell.targets().empty());
        EXPECT_EQ(shell.targets().back(), c.address);
    }
    EXPECT_EQ(shell.targets().size(), std::size(cases));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(LinkActionsTest, BccStaysHiddenForFewerThanTwoAddresses) {
    chooser.sendAsBccCheck->show();
    chooser.sendAsBccCheck->setEnabled(true);
    chooser.sendAsBccCheck->setChecked(true);
    entry.memo = "a@b.c";
    bool bccShown = true;
    run(&links::LinkActions::sendEmail, [&](ItemChooser& d) {
        bccShown = d.sendAsBccCheck->isVisible();
        d.okButton->click();
    });
    EXPECT_FALSE(bccShown);
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"mailto:a@b.c"}));
}

TEST_F(LinkActionsTest, RefusedChooserEndsTheActionWithoutEffect) {
    entry.memo = "no items here";
    const auto typeAnd = [](const ChooserDriver::Answer& close) {
        return [close](ItemChooser& d) {
            d.answerEdit->setText("555-1234 a@b.c");
            close(d);
        };
    };
    for (auto action : {&links::LinkActions::sendEmail, &links::LinkActions::dialPhone,
                        &links::LinkActions::visitWebAddress, &links::LinkActions::openFile}) {
        run(action, linktest::pressOk());  // OK with the box still empty
        run(action, typeAnd(linktest::pressCancel()));
        run(action, typeAnd(linktest::pressEscape()));
    }
    EXPECT_TRUE(shell.records().empty());
    EXPECT_TRUE(dialer.calls().empty());
    EXPECT_TRUE(prompter.records().empty());
    EXPECT_TRUE(entry.steps.empty());
}

// --- Dialling

TEST_F(LinkActionsTest, FoundNumberIsDialledForTheEntrysName) {
    entry.name = "Garden Shop";
    entry.memo = "Tel 555-1234";
    run(&links::LinkActions::dialPhone, linktest::pressOk());
    ASSERT_EQ(dialer.calls().size(), 1u);
    EXPECT_EQ(dialer.calls()[0].number, "555-1234");
    EXPECT_EQ(dialer.calls()[0].calledParty, "Garden Shop");
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(LinkActionsTest, NumbersComeFromTheNameThenTheMemoAsTheControlWrapsIt) {
    entry.name = "Shop 555-0000";
    entry.memo = "a long line with 555-1111 and 555-2222";
    // On screen the line wraps between the two numbers; each screen line is scanned.
    entry.wrappedLines = QStringList{"a long line with 555-1111 ", "and 555-2222"};
    QStringList offered;
    run(&links::LinkActions::dialPhone, [&](ItemChooser& d) {
        offered = d.items();
        d.cancelButton->click();
    });
    EXPECT_EQ(offered, (QStringList{"555-0000", "555-1111", "555-2222"}));
}

TEST_F(LinkActionsTest, TypedNumberIsOfferedForAddingWhateverTheDialler) {
    platform::FakeSchemeHandlerLookup handlers(platform::HandlerPresence::Absent);
    platform::DesktopPhoneDialer desktopDialer(prompter, shell, handlers);
    links::LinkActions withDesktopDialer(entry, chooser, prompter, shell, desktopDialer);
    entry.memo = "nothing to dial\n";

    run(&links::LinkActions::dialPhone, linktest::typeAndOk("206-555-1234"), &withDesktopDialer);
    ASSERT_EQ(prompter.texts().size(), 2u);
    EXPECT_EQ(prompter.texts()[0], platform::kNoDialerWarning);
    EXPECT_EQ(prompter.records()[0].prompt.kind, platform::MessageKind::Warning);
    EXPECT_EQ(prompter.texts()[1], "Add 206-555-1234 to entry?");
    EXPECT_EQ(entry.memo, "nothing to dial\nPhone: 206-555-1234\n");

    // A dialer that is there but refuses the number gives the other warning.
    handlers.setPresence(platform::HandlerPresence::Present);
    shell.setResult(false);
    prompter.setDefaultAnswer(Answer::Cancel);
    entry.memo = "still nothing to dial";
    run(&links::LinkActions::dialPhone, linktest::typeAndOk("555-9999"), &withDesktopDialer);
    ASSERT_EQ(prompter.texts().size(), 4u);
    EXPECT_EQ(prompter.texts()[2], platform::kDialFailedWarning);
    EXPECT_EQ(prompter.texts()[3], "Add 555-9999 to entry?");
    EXPECT_EQ(shell.targets().back(), "tel:555-9999");
    EXPECT_EQ(entry.saves, 1);
}

// --- Web addresses

TEST_F(LinkActionsTest, WebAddressIsHandedOverAsWrittenWithItsContext) {
    entry.memo = "Shop\r\nSite: www.b.c/x.html, more\r\nsee (http://d.e/).";
    QString context1, context2;
    run(&links::LinkActions::visitWebAddress, [&](ItemChooser& d) {
        context1 = d.lineBeforeLabel->text();
        context2 = d.itemLineLabel->text();
        d.okButton->click();
    });
    EXPECT_EQ(context1, "Shop");
    EXPECT_EQ(context2, "Site: www.b.c/x.html, more");
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"www.b.c/x.html"}));

    // A typed address goes exactly as typed, and is offered for adding.
    entry.memo = "";
    run(&links::LinkActions::visitWebAddress, linktest::typeAndOk("Www.Typed.Org/a?b=c"));
    EXPECT_EQ(shell.targets().back(), "Www.Typed.Org/a?b=c");
    EXPECT_EQ(entry.memo, "WebSite: Www.Typed.Org/a?b=c\n");
}

TEST_F(LinkActionsTest, WebItemReachesTheDesktopAsWrittenWwwWithHttp) {
    platform::RecordingHandOver desktop;
    platform::DesktopShell desktopShell(prompter, desktop.handOver());
    links::LinkActions onDesktop(entry, chooser, prompter, desktopShell, dialer);
    entry.memo = "www.b.c/~x/a%5Fb.html";
    run(&links::LinkActions::visitWebAddress, linktest::pressOk(), &onDesktop);
    entry.memo = "see https://b.c/b?%5Fencoding=UTF8&node=1%7E2 here";
    run(&links::LinkActions::visitWebAddress, linktest::pressOk(), &onDesktop);
    EXPECT_EQ(desktop.targets(),
              (std::vector<QString>{"http://www.b.c/~x/a%5Fb.html",
                                    "https://b.c/b?%5Fencoding=UTF8&node=1%7E2"}));
}

TEST(MailtoUri, AnItemIsOneAddressAndNeverAHeader) {
    // Plain addresses go as they are.
    EXPECT_EQ(links::mailtoUri({"anna.b+x@mail.example"}), "mailto:anna.b+x@mail.example");
    EXPECT_EQ(links::mailtoUri({"a@b.c", "d@e.f"}, true), "mailto:?bcc=a@b.c,d@e.f");
    const QStringList hostile = {
        "victim@example.com?attach=/etc/passwd",
        "a@b.c&body=Hi&cc=boss@b.c",
        "a@b.c#x",
        "a%3Fattach=x@b.c",
        "two@b.c,three@b.c",
        "J\u00fcrgen M\u00fcller~ @b.c",
    };
    EXPECT_EQ(links::mailtoUri({hostile[0]}),
              "mailto:victim@example.com%3Fattach%3D%2Fetc%2Fpasswd");
    EXPECT_EQ(links::mailtoUri({hostile[5]}), "mailto:J%C3%BCrgen%20M%C3%BCller~%20@b.c");
    for (const bool blind : {false, true}) {
        for (const QStringList& items : {QStringList{hostile[0]}, hostile}) {
            const QString uri = links::mailtoUri(items, blind);
            QString recipients = uri.mid(QStringLiteral("mailto:").size());
            if (blind) {
                ASSERT_TRUE(recipients.startsWith("?bcc="));
                recipients = recipients.mid(5);
            }
            // No header can start, no fragment, and each item stays one recipient, whole.
            EXPECT_FALSE(recipients.contains('?') || recipients.contains('&') ||
                         recipients.contains('#') || recipients.contains('='))
                << uri.toStdString();
            const QStringList parts = recipients.split(',');
            ASSERT_EQ(parts.size(), items.size()) << uri.toStdString();
            for (int i = 0; i < items.size(); ++i)
                EXPECT_EQ(QString::fromUtf8(QByteArray::fromPercentEncoding(parts[i].toLatin1())),
                          items[i]);
        }
    }
}

TEST_F(LinkActionsTest, ATypedOrFoundItemCannotAddAHeaderToTheMail) {
    run(&links::LinkActions::sendEmail, linktest::typeAndOk("victim@example.com?attach=/etc/"));
    EXPECT_EQ(shell.targets().back(), "mailto:victim@example.com%3Fattach%3D%2Fetc%2F");
    entry.memo = "x@y.z&body=hi\r\nplain@b.c";
    prompter.setDefaultAnswer(Answer::Cancel);
    run(&links::LinkActions::sendEmail, [](ItemChooser& d) {
        d.optionCheck->click();
        d.okButton->click();
    });
    EXPECT_FALSE(shell.targets().back().contains('&')) << shell.targets().back().toStdString();
}

TEST_F(LinkActionsTest, MemoLinesTheCodePageCannotHoldAreStillScanned) {
    entry.memo = QStringLiteral("\u260E caf\u00e9 www.b.c \u2603\nx");
    QString context;
    run(&links::LinkActions::visitWebAddress, [&](ItemChooser& d) {
        context = d.itemLineLabel->text();
        d.okButton->click();
    });
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"www.b.c"}));
    EXPECT_EQ(context, QStringLiteral("? caf\u00e9 www.b.c ?"));
}

// --- Files

class OpenFileTest : public LinkActionsTest {
  protected:
    testsupport::TempDir dir;
};

TEST_F(OpenFileTest, ExistingFileIsOpenedAndATypedOneAdded) {
    const auto letter = makeFile(dir / "letter.doc");
    entry.memo = "Letter: " + qpath(letter) + " (sent)";
    run(&links::LinkActions::openFile, linktest::pressOk());
    EXPECT_EQ(shell.targets(), (std::vector<QString>{qpath(letter)}));
    EXPECT_EQ(shell.records()[0].request, platform::FakeShell::Request::File);
    EXPECT_TRUE(prompter.records().empty());

    entry.memo = "";
    run(&links::LinkActions::openFile, linktest::typeAndOk(qpath(letter)));
    EXPECT_EQ(shell.targets().size(), 2u);
    EXPECT_EQ(entry.memo, "File: " + qpath(letter) + "\n");
}

TEST_F(OpenFileTest, MissingFileOrFolderIsReportedAndNothingAdded) {
    for (const QString& item : {QStringLiteral("C:\\x.doc"), qpath(dir.path())}) {
        run(&links::LinkActions::openFile, linktest::typeAndOk(item));
        ASSERT_FALSE(prompter.records().empty());
        EXPECT_EQ(prompter.records().back().prompt.text, "File " + item + " does NOT exist");
        EXPECT_EQ(prompter.records().back().prompt.kind, platform::MessageKind::Error);
    }
    EXPECT_EQ(prompter.records().size(), 2u);
    EXPECT_TRUE(shell.records().empty());
    EXPECT_TRUE(entry.steps.empty());
}

TEST_F(OpenFileTest, HomeFolderItemIsExpandedBeforeTheTest) {
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir.path().c_str());
    makeFile(dir / "notes.txt");
    entry.memo = "Notes ~/notes.txt here";
    run(&links::LinkActions::openFile, linktest::pressOk());
    qputenv("HOME", home);
    EXPECT_EQ(shell.targets(), (std::vector<QString>{qpath(dir / "notes.txt")}));
    EXPECT_TRUE(prompter.records().empty());
}

TEST_F(OpenFileTest, ProgramOrLauncherIsStartedOnlyAfterAYes) {
    platform::RecordingHandOver desktop;
    platform::DesktopShell desktopShell(prompter, desktop.handOver());
    links::LinkActions onDesktop(entry, chooser, prompter, desktopShell, dialer);
    const auto program = makeFile(dir / "tool.sh", true);
    const auto launcher = makeFile(dir / "app.desktop");

    for (const auto& file : {program, launcher}) {
        entry.memo = "run " + qpath(file);
        prompter.queueAnswer(Answer::No);
        run(&links::LinkActions::openFile, linktest::pressOk(), &onDesktop);
        ASSERT_FALSE(prompter.records().empty());
        EXPECT_EQ(prompter.records().back().prompt.text, platform::runProgramQuestion(qpath(file)));
        EXPECT_TRUE(desktop.targets().empty());
    }
    prompter.queueAnswer(Answer::Yes);
    entry.memo = "run " + qpath(program);
    run(&links::LinkActions::openFile, linktest::pressOk(), &onDesktop);
    EXPECT_EQ(desktop.targets(), (std::vector<QString>{qpath(program)}));
}

// --- Adding a typed item

TEST(LineAddition, PutsTheLineBelowTheLastLineInTheMemosOwnLineBreak) {
    struct Case {
        const char* memo;
        const char* addition;
    };
    const Case cases[] = {
        {"", "Phone: 1\n"},         {"a", "\nPhone: 1"},
        {"a\r\nb", "\r\nPhone: 1"}, {"a\r\nb\r\n", "Phone: 1\r\n"},
        {"a\nb", "\nPhone: 1"},     {"a\nb\n", "Phone: 1\n"},
        {"a\rb", "\rPhone: 1"},     {"a\r\n\r\n", "Phone: 1\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(links::lineAddition(c.memo, "Phone: 1"), c.addition) << c.memo;
    }
}

TEST_F(LinkActionsTest, AddingStopsUnlessTheQuestionIsAnsweredOk) {
    entry.memo = "x";
    prompter.queueAnswer(Answer::Cancel);
    actions.addItemToEntry(ItemKind::File, "C:\\a.txt");
    EXPECT_EQ(prompter.texts(), (std::vector<QString>{"Add C:\\a.txt to entry?"}));
    EXPECT_TRUE(entry.steps.empty());
    EXPECT_EQ(entry.memo, "x");
}

TEST_F(LinkActionsTest, RefusedSaveLeavesTheEntryInEditWithTheLine) {
    entry.refuseSave = true;
    actions.addItemToEntry(ItemKind::Phone, "555-1234");
    EXPECT_TRUE(entry.editing);
    EXPECT_EQ(entry.memo, "Phone: 555-1234\n");
    EXPECT_EQ(entry.saves, 0);
    EXPECT_EQ(entry.steps.back(), "post");
}

TEST_F(LinkActionsTest, ItemTheCodePageCannotHoldIsRefusedBeforeTheEntryIsTouched) {
    entry.memo = "x";
    EXPECT_THROW(actions.addItemToEntry(ItemKind::Web, QStringLiteral("www.\u2603.com")),
                 std::invalid_argument);
    EXPECT_TRUE(entry.steps.empty());
    EXPECT_EQ(entry.memo, "x");
}

TEST(WithHomeExpanded, OnlyALeadingTildeFolderIsExpanded) {
    EXPECT_EQ(links::withHomeExpanded("~/a.txt"), QDir::homePath() + "/a.txt");
    EXPECT_EQ(links::withHomeExpanded("~"), QDir::homePath());
    EXPECT_EQ(links::withHomeExpanded("~other/a.txt"), "~other/a.txt");
    EXPECT_EQ(links::withHomeExpanded("/a/~/b.txt"), "/a/~/b.txt");
}

}  // namespace
