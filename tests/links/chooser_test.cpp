#include <links/item_chooser.h>
#include "layout_check.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <platform/fakes.h>
#include "chooser_driver.h"

namespace {

using links::ItemChooser;
using links::ItemKind;
using linktest::ChooserDriver;

class ChooserTest : public ::testing::Test {
  protected:
    platform::FakePrompter prompter;
    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    ItemChooser dialog{prompter, shell, clipboard};

    // One use of the chooser: `answer` runs once it is up; what it saw is kept by the test.
    bool choose(int count, ItemKind kind, const ChooserDriver::Answer& answer,
                const ChooserDriver::Ready& ready = {}) {
        ChooserDriver driver(dialog, answer, ready);
        const bool accepted = dialog.choose(count, kind);
        EXPECT_TRUE(driver.answered());
        EXPECT_TRUE(driver.wasReady());
        return accepted;
    }
};

TEST_F(ChooserTest, FormHasItsNamedControlsCaptionsHintsAndTabStops) {
    EXPECT_EQ(dialog.objectName(), "BtnBottomDlg");
    EXPECT_EQ(dialog.windowTitle(), "Select and then click OK or cancel");
    EXPECT_EQ(dialog.size(), QSize(419, 391));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowSystemMenuHint));

    for (const char* name :
         {"NotYetLabel", "Edit1", "ComboBox1", "Label1", "Label2", "CheckAll", "bcc", "mylist1",
          "myList2", "Memo1", "Panel1", "OKBtn", "ButtonClipboard", "CancelBtn", "BitBtn1"}) {
        EXPECT_NE(dialog.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(dialog.optionCheck->text(), "Send to all");
    EXPECT_EQ(dialog.optionCheck->toolTip(), "Use multiple addresses");
    EXPECT_EQ(dialog.sendAsBccCheck->text(), "Send as :bcc");
    EXPECT_EQ(dialog.sendAsBccCheck->toolTip(), "Disclose recipients to each other?");
    EXPECT_EQ(dialog.copyButton->text(), "Copy");
    EXPECT_EQ(dialog.copyButton->toolTip(), "Copy ALL choices to Windows Clipboard");
    EXPECT_FALSE(dialog.copyButton->icon().isNull());
    EXPECT_EQ(dialog.helpButton->text(), "Help");
    EXPECT_TRUE(dialog.okButton->isDefault());

    // The list lies exactly over the edit box; only one of them shows at a time.
    EXPECT_EQ(dialog.itemCombo->geometry(), dialog.answerEdit->geometry());
    EXPECT_EQ(dialog.itemCombo->maxVisibleItems(), 14);

    // Only the item box and Copy are reached with Tab.
    for (QWidget* noStop : std::initializer_list<QWidget*>{
             dialog.itemCombo, dialog.optionCheck, dialog.sendAsBccCheck, dialog.okButton,
             dialog.cancelButton, dialog.helpButton}) {
        EXPECT_FALSE(noStop->focusPolicy() & Qt::TabFocus) << noStop->objectName().toStdString();
    }
    EXPECT_TRUE(dialog.copyButton->focusPolicy() & Qt::TabFocus);
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             dialog.notFoundNotice, dialog.sendAsBccCheck, dialog.linesBeforeList,
             dialog.itemLinesList, dialog.stagingText}) {
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    }
}

TEST_F(ChooserTest, NothingFoundAsksForOneAndRefusesAnEmptyBox) {
    dialog.setItems({}, false);
    QString caption, notYet;
    bool editShown = false, comboShown = true, labelShown = false;
    const bool accepted = choose(0, ItemKind::Phone, [&](ItemChooser& d) {
        caption = d.windowTitle();
        notYet = d.notFoundNotice->text();
        labelShown = d.notFoundNotice->isVisible();
        editShown = d.answerEdit->isVisible() && d.answerEdit->isEnabled() &&
                    d.answerEdit->text().isEmpty();
        comboShown = d.itemCombo->isVisible() || d.itemCombo->isEnabled();
        d.okButton->click();
    });
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(dialog.refused());
    EXPECT_EQ(caption, "Dial Phone No.");
    EXPECT_EQ(notYet, "No Phone No. found, but you can enter one below");
    EXPECT_TRUE(labelShown);
    EXPECT_TRUE(editShown);
    EXPECT_FALSE(comboShown);
    EXPECT_TRUE(dialog.notFoundNotice->isHidden());

    EXPECT_TRUE(choose(0, ItemKind::Email, linktest::typeAndOk("a@b.c")));
    EXPECT_FALSE(dialog.refused());
    EXPECT_EQ(dialog.answerEdit->text(), "a@b.c");
}

TEST_F(ChooserTest, CaptionsNameEachKindAndNoTextIsCut) {
    struct Case {
        ItemKind kind;
        int count;
        const char* caption;
    };
    const Case cases[] = {
        {ItemKind::Email, 0, "Message to E-mail address"},
        {ItemKind::Phone, 1, "Dial Phone No.:"},
        {ItemKind::Web, 0, "GoTo link"},
        {ItemKind::File, 1, "Open File:"},
        {ItemKind::Web, 2, "Choose link:"},
        {ItemKind::Phone, 3, "Choose Phone No.:"},
    };
    for (const Case& c : cases) {
        dialog.setItems({"one", "two", "three"}, false);
        QString caption;
        std::vector<std::string> layoutFaults;
        choose(c.count, c.kind, [&](ItemChooser& d) {
            caption = d.windowTitle();
            layoutFaults = testsupport::layoutFaults(d);
            d.cancelButton->click();
        });
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(layoutFaults, std::vector<std::string>{}) << c.caption;
    }
}

TEST_F(ChooserTest, OneItemIsOfferedForEditingAndRefusedWhenErased) {
    dialog.setItems({"555-1234"}, false);
    QString offered;
    EXPECT_TRUE(choose(1, ItemKind::Phone, [&](ItemChooser& d) {
        offered = d.answerEdit->text();
        d.answerEdit->setText("555-9999");
        d.okButton->click();
    }));
    EXPECT_EQ(offered, "555-1234");
    EXPECT_EQ(dialog.answerEdit->text(), "555-9999");

    EXPECT_FALSE(choose(1, ItemKind::Phone, linktest::typeAndOk("")));
}

TEST_F(ChooserTest, SeveralItemsDropDownByThemselvesWithCopyFocused) {
    dialog.setItems({"a@b.c", "d@e.f", "g@h.i"}, false);
    QString caption, comboText;
    QWidget* focused = nullptr;
    bool sendToAllShown = false, sendToAllChecked = true;
    const bool accepted = choose(
        3, ItemKind::Email,
        [&](ItemChooser& d) {
            caption = d.windowTitle();
            comboText = d.itemCombo->currentText();
            focused = d.focusWidget();
            sendToAllShown = d.optionCheck->isVisible();
            sendToAllChecked = d.optionCheck->isChecked();
            d.itemCombo->hidePopup();
            d.itemCombo->setEditText("");
            d.okButton->click();
        },
        [](ItemChooser& d) { return d.itemCombo->view()->isVisible(); });
    EXPECT_EQ(caption, "Choose E-mail address:");
    EXPECT_EQ(comboText, "a@b.c");
    EXPECT_EQ(focused, dialog.copyButton);
    EXPECT_TRUE(sendToAllShown);
    EXPECT_FALSE(sendToAllChecked);
    EXPECT_EQ(dialog.optionCheck->text(), "send to all");
    // An erased combo text is still an accepted choice: the action gets an empty item.
    EXPECT_TRUE(accepted);
    EXPECT_EQ(dialog.answerEdit->text(), "");
    EXPECT_FALSE(dialog.itemCombo->view()->isVisible());
}

TEST_F(ChooserTest, ChoiceFromTheListEndsUpInTheAnswerBoxAndTheListStaysAsFound) {
    dialog.setItems({"b", "a", "b"}, false);
    EXPECT_TRUE(choose(3, ItemKind::Phone, [](ItemChooser& d) {
        d.itemCombo->setCurrentIndex(1);
        d.okButton->click();
    }));
    EXPECT_EQ(dialog.answerEdit->text(), "a");
    EXPECT_EQ(dialog.items(), (QStringList{"b", "a", "b"}));

    // Typed text is taken as typed, and Enter does not add it to the list.
    EXPECT_TRUE(choose(3, ItemKind::Phone, [](ItemChooser& d) {
        d.itemCombo->setEditText("typed");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(d.itemCombo->lineEdit(), &enter);
        if (d.isVisible()) d.okButton->click();
    }));
    EXPECT_EQ(dialog.answerEdit->text(), "typed");
    EXPECT_EQ(dialog.items(), (QStringList{"b", "a", "b"}));

    // The next use starts from the first item again.
    QString shown;
    choose(3, ItemKind::Phone, [&](ItemChooser& d) {
        shown = d.itemCombo->currentText();
        d.cancelButton->click();
    });
    EXPECT_EQ(shown, "b");
}

TEST_F(ChooserTest, EnterAcceptsAlsoAfterAUseThatFocusedCopy) {
    dialog.setItems({"a@b.c", "d@e.f"}, false);
    choose(2, ItemKind::Email, [](ItemChooser& d) {
        d.copyButton->setFocus();
        d.cancelButton->click();
    });
    dialog.setItems({"555-1234"}, false);
    EXPECT_TRUE(choose(1, ItemKind::Phone, [](ItemChooser& d) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(d.answerEdit, &enter);
        if (d.isVisible()) d.cancelButton->click();
    }));
    EXPECT_FALSE(dialog.refused());
    EXPECT_TRUE(prompter.records().empty());  // Copy was not pressed
}

// A key as the window system delivers it: to the window that has the keyboard, which
// hands it on to an open drop-down list.
void pressKey(QWidget& window, Qt::Key key) {
    QTest::keyClick(window.windowHandle(), key);
}

TEST_F(ChooserTest, WithTheListDroppedDownEnterTakesTheItemAndEscapeClosesOnlyTheList) {
    dialog.setItems({"555-1111", "555-2222"}, false);
    const auto listShown = [](ItemChooser& d) { return d.itemCombo->view()->isVisible(); };
    bool onlyTheListClosed = false;
    EXPECT_FALSE(choose(
        2, ItemKind::Phone,
        [&](ItemChooser& d) {
            pressKey(d, Qt::Key_Escape);
            onlyTheListClosed = d.isVisible() && !d.itemCombo->view()->isVisible();
            if (d.isVisible()) d.cancelButton->click();
        },
        listShown));
    EXPECT_TRUE(onlyTheListClosed);

    QString taken;
    EXPECT_TRUE(choose(
        2, ItemKind::Phone,
        [&](ItemChooser& d) {
            pressKey(d, Qt::Key_Down);
            pressKey(d, Qt::Key_Return);
            onlyTheListClosed = d.isVisible() && !d.itemCombo->view()->isVisible();
            taken = d.itemCombo->currentText();
            if (d.isVisible()) pressKey(d, Qt::Key_Return);  // the list closed: Enter is OK
            if (d.isVisible()) d.cancelButton->click();
        },
        listShown));
    EXPECT_TRUE(onlyTheListClosed);
    EXPECT_EQ(taken, "555-2222");
    EXPECT_EQ(dialog.answerEdit->text(), "555-2222");
}

TEST_F(ChooserTest, CancelAndEscapeRefuseWhateverTheCount) {
    for (int count : {0, 1, 2}) {
        dialog.setItems({"x", "y"}, false);
        EXPECT_FALSE(choose(count, ItemKind::Web, linktest::pressCancel())) << count;
        EXPECT_TRUE(dialog.refused());
        EXPECT_FALSE(choose(count, ItemKind::Web, linktest::pressEscape())) << count;
        EXPECT_TRUE(dialog.refused());
    }
}

TEST_F(ChooserTest, BccIsUsableOnlyWhileSendToAllIsChecked) {
    dialog.sendAsBccCheck->setChecked(false);
    dialog.sendAsBccCheck->setEnabled(false);
    dialog.sendAsBccCheck->show();
    dialog.setItems({"a@b.c", "d@e.f"}, false);
    std::vector<bool> usable;
    bool bccChecked = true;
    choose(2, ItemKind::Email, [&](ItemChooser& d) {
        usable.push_back(d.sendAsBccCheck->isVisible() && d.sendAsBccCheck->isEnabled());
        d.optionCheck->click();
        usable.push_back(d.sendAsBccCheck->isEnabled());
        d.sendAsBccCheck->click();
        d.optionCheck->click();
        usable.push_back(d.sendAsBccCheck->isEnabled());
        bccChecked = d.sendAsBccCheck->isChecked();
        d.okButton->click();
    });
    EXPECT_EQ(usable, (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(bccChecked);
    // Closing hides it again, so it never shows for the other kinds.
    EXPECT_TRUE(dialog.sendAsBccCheck->isHidden());
}

TEST_F(ChooserTest, HelpOpensTheSendToAllPageOnlyWhenSendToAllIsOffered) {
    struct Case {
        ItemKind kind;
        QStringList items;
        const char* page;
    };
    const Case cases[] = {
        {ItemKind::Email, {"a@b.c", "d@e.f"}, "writing-to-several.html"},
        {ItemKind::Email, {"a@b.c"}, "choosing-an-item.html"},
        {ItemKind::Email, {}, "choosing-an-item.html"},
        {ItemKind::Phone, {"1", "2"}, "choosing-an-item.html"},
        {ItemKind::File, {"x"}, "choosing-an-item.html"},
    };
    for (const Case& c : cases) {
        dialog.setItems(c.items, false);
        bool stillOpen = false;
        choose(static_cast<int>(c.items.size()), c.kind, [&](ItemChooser& d) {
            d.helpButton->click();
            stillOpen = d.isVisible();
            d.cancelButton->click();
        });
        EXPECT_TRUE(stillOpen);
        ASSERT_FALSE(shell.targets().empty());
        const QUrl page(shell.targets().back());
        EXPECT_TRUE(page.isLocalFile()) << page.toString().toStdString();
        EXPECT_EQ(page.fileName(), c.page);
    }
    EXPECT_EQ(shell.targets().size(), std::size(cases));
}

TEST_F(ChooserTest, CopyPutsEveryItemOnTheClipboardAndSaysSo) {
    dialog.setItems({"www.a.b", "ftp://c.d", "www.a.b"}, true, {" ", "x", "y"}, {"1", "2", "3"});
    bool stillOpen = false;
    choose(3, ItemKind::Web, [&](ItemChooser& d) {
        d.itemCombo->setCurrentIndex(1);
        d.copyButton->click();
        stillOpen = d.isVisible();
        d.cancelButton->click();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(clipboard.text(), "www.a.b\nftp://c.d\nwww.a.b");
    ASSERT_EQ(prompter.records().size(), 1u);
    EXPECT_EQ(prompter.records()[0].prompt.text, "Items have been copied to the Windows Clipboard");
    EXPECT_EQ(prompter.records()[0].prompt.buttons, platform::ButtonSet::Ok);

    // With nothing to copy the message still comes, and the clipboard keeps its text.
    dialog.setItems({}, false);
    dialog.copyItemsToClipboard();
    EXPECT_EQ(prompter.records().size(), 2u);
    EXPECT_EQ(clipboard.history().size(), 1u);
}

TEST_F(ChooserTest, ContextLinesFollowTheChosenEntryButNotTypedText) {
    dialog.setItems({"www.a.b", "www.c.d"}, true, {" ", "line 2"}, {"see www.a.b", "www.c.d"});
    std::vector<QString> seen;
    bool labelsShown = false;
    choose(2, ItemKind::Web, [&](ItemChooser& d) {
        labelsShown = d.lineBeforeLabel->isVisible() && d.itemLineLabel->isVisible();
        seen.push_back(d.lineBeforeLabel->text() + "|" + d.itemLineLabel->text());
        d.itemCombo->setCurrentIndex(1);
        seen.push_back(d.lineBeforeLabel->text() + "|" + d.itemLineLabel->text());
        d.itemCombo->setEditText("www.typed");
        seen.push_back(d.lineBeforeLabel->text() + "|" + d.itemLineLabel->text());
        d.okButton->click();
    });
    EXPECT_TRUE(labelsShown);
    EXPECT_EQ(seen, (std::vector<QString>{" |see www.a.b", "line 2|www.c.d", "line 2|www.c.d"}));
    // Closing empties the labels; the lists stay until the next collection.
    EXPECT_EQ(dialog.lineBeforeLabel->text(), "");
    EXPECT_EQ(dialog.itemLineLabel->text(), "");
    EXPECT_EQ(dialog.itemLinesList->count(), 2);

    // Phone numbers and e-mail show no context.
    dialog.setItems({"555-1234", "555-9999"}, false);
    labelsShown = true;
    choose(2, ItemKind::Phone, [&](ItemChooser& d) {
        labelsShown = d.lineBeforeLabel->isVisible() || d.itemLineLabel->isVisible();
        d.okButton->click();
    });
    EXPECT_FALSE(labelsShown);
}

}  // namespace
