// The link actions and the name exchange on a real address table: the data module with
// its save checks, the grid and the memo bound to it, as the main window holds them.

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>

#include <memory>

#include <gtest/gtest.h>

#include <xbase/types.h>

#include <data/grid.h>
#include <data/memo.h>
#include <platform/fakes.h>
#include <xbase/cursor.h>
#include <xbase/error.h>

#include <links/address_entry.h>
#include <links/item_chooser.h>
#include <links/link_actions.h>
#include <links/name_exchange.h>
#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include "chooser_driver.h"
#include "module_fixture.h"
#include "temp_dir.h"
#include "test_paths.h"

namespace {

using testsupport::qpath;

using data::DataSetState;
using platform::Answer;

QStringList linesOf(const QString& text) {
    return text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
}

class TableLinksTest : public testsupport::AddressModuleTest {
  protected:
    void SetUp() override {
        AddressModuleTest::SetUp();
        window.resize(400, 400);
        grid = new data::DBGrid(&window);
        grid->setGeometry(30, 40, 290, 147);
        grid->setColumns({QString::fromLatin1(store::kNameField)});
        memo = new data::DBMemo(&window);
        memo->setGeometry(2, 190, 348, 94);
        memo->setDataField(QString::fromLatin1(store::kInfoField));
        memo->setWordWrap(true);
        stagingText = new QPlainTextEdit(&window);
        stagingText->hide();
        grid->setDataSource(&module->addressSource);
        memo->setDataSource(&module->addressSource);
        module->focusNameGrid = [this] { grid->setFocus(); };

        entry = std::make_unique<links::AddressEntry>(table(), *memo, *grid);
        actions = std::make_unique<links::LinkActions>(*entry, chooser, prompter, shell, dialer);
        names = std::make_unique<links::NameExchange>(table(), *grid, *stagingText, clipboard);
    }

    void open() {
        AddressModuleTest::open();
        window.show();
        QApplication::processEvents();
    }

    QString field(const char* name) { return table().fieldByName(name).asString(); }

    // What the file holds for an entry, read past the data set.
    QString storedMemo(const char* name) {
        xbase::Cursor cursor;
        cursor.open(dir.path() / store::kTableFileName);
        for (cursor.first(); !cursor.eof(); cursor.next()) {
            if (cursor.text(cursor.requireField(store::kNameField)) == name) {
                return QString::fromLatin1(
                    cursor.memo(cursor.requireField(store::kInfoField)).c_str());
            }
        }
        return QStringLiteral("<missing>");
    }

    // A click on a row of the grid, with Ctrl when `add`.
    void clickRow(int row, bool add) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        const QPointF at = cell.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, grid->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton,
                          add ? Qt::ControlModifier : Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, grid->viewport()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton,
                            add ? Qt::ControlModifier : Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &release);
    }

    platform::FakeShell shell;
    platform::FakeClipboard clipboard;
    platform::FakePhoneDialer dialer;
    QWidget window;
    data::DBGrid* grid = nullptr;
    data::DBMemo* memo = nullptr;
    QPlainTextEdit* stagingText = nullptr;
    links::ItemChooser chooser{prompter, shell, clipboard};
    std::unique_ptr<links::AddressEntry> entry;
    std::unique_ptr<links::LinkActions> actions;
    std::unique_ptr<links::NameExchange> names;
};

// --- Adding a typed item

TEST_F(TableLinksTest, TypedItemLandsBelowTheLastLineAndIsSavedThroughTheChecks) {
    const xbase::FixedToday today({2031, 12, 31});
    seed({{"Smith", "12 Oak Street\r\nSpringfield"}});
    open();
    {
        linktest::ChooserDriver driver(chooser, linktest::typeAndOk("a@b.c"));
        actions->sendEmail();
        EXPECT_TRUE(driver.answered());
    }
    EXPECT_EQ(shell.targets(), (std::vector<QString>{"mailto:a@b.c"}));
    EXPECT_EQ(prompter.texts(), (std::vector<QString>{"Add a@b.c to entry?"}));
    EXPECT_EQ(table().state(), DataSetState::Browse);
    EXPECT_EQ(linesOf(storedMemo("Smith")),
              (QStringList{"12 Oak Street", "Springfield", "Email: a@b.c"}));
    EXPECT_EQ(table().fieldByName(store::kLastDateField).asDate(), QDate(2031, 12, 31));
    EXPECT_EQ(linesOf(memo->toPlainText()),
              (QStringList{"12 Oak Street", "Springfield", "Email: a@b.c"}));
}

TEST_F(TableLinksTest, UnsavedTypingIsKeptWithTheAddedLine) {
    seed({{"Smith", "first"}});
    open();
    table().edit();
    QTextCursor end(memo->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("\nsecond"));

    actions->addItemToEntry(links::ItemKind::Phone, QStringLiteral("555-1234"));
    EXPECT_EQ(table().state(), DataSetState::Browse);
    EXPECT_EQ(linesOf(storedMemo("Smith")), (QStringList{"first", "second", "Phone: 555-1234"}));
}

TEST_F(TableLinksTest, RefusedSaveOnAnEmptyTableLeavesTheNewEntryInEdit) {
    open();
    actions->addItemToEntry(links::ItemKind::Web, QStringLiteral("www.b.c"));
    ASSERT_EQ(prompter.texts().size(), 2u);
    EXPECT_EQ(prompter.texts()[1], store::kBlankNameMessage);
    EXPECT_EQ(table().state(), DataSetState::Insert);
    EXPECT_EQ(linesOf(memo->toPlainText()).front(), "WebSite: www.b.c");

    // The user names the entry and saves it: the line is saved with it.
    table().fieldByName(store::kNameField).setAsString(QStringLiteral("Shop"));
    table().post();
    EXPECT_EQ(linesOf(storedMemo("Shop")).front(), "WebSite: www.b.c");
}

// --- Scanning the entry as the window shows it

TEST_F(TableLinksTest, ItemsComeFromTheShownNameAndMemo) {
    seed({{"Shop 555-0000", "Tel 555-1111\r\nsee www.b.c, caf\xe9"}});
    open();
    EXPECT_EQ(actions->collectItems(links::ItemKind::Phone), 2);
    EXPECT_EQ(chooser.items(), (QStringList{"555-0000", "555-1111"}));
    EXPECT_EQ(actions->collectItems(links::ItemKind::Web), 1);
    EXPECT_EQ(chooser.items(), (QStringList{"www.b.c"}));
    EXPECT_EQ(chooser.itemLinesList->item(0)->text(), QStringLiteral("see www.b.c, caf\u00e9"));
}

// --- Name and clipboard exchange

TEST_F(TableLinksTest, PasteWhileEditingTakesTheFirstLineUpToTheKeyLength) {
    seed({{"Old Name", ""}});
    open();
    table().edit();
    struct Case {
        QString clipboard;
        QString name;
    };
    const Case cases[] = {
        {"Garden Shop", "Garden Shop"},
        {"Garden Shop\r\nsecond line", "Garden Shop"},
        {"1234567890123456789012345678901234567890", "123456789012345678901234567890"},
        {"", ""},
    };
    for (const Case& c : cases) {
        clipboard.setText(c.clipboard);
        names->exchangeNamesWithClipboard();
        EXPECT_EQ(field(store::kNameField), c.name) << c.clipboard.toStdString();
        EXPECT_EQ(table().state(), DataSetState::Edit);
    }
    // Nothing was saved.
    table().cancel();
    EXPECT_EQ(field(store::kNameField), "Old Name");
}

TEST_F(TableLinksTest, PasteReplacesWhatIsTypedInTheGridsCell) {
    seed({{"Old Name", ""}});
    open();
    table().edit();
    const QModelIndex cell = grid->model()->index(table().currentRow(), 0);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = grid->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Half typ"));

    clipboard.setText(QStringLiteral("Garden Shop"));
    names->exchangeNamesWithClipboard();
    EXPECT_EQ(editor->text(), "Garden Shop");
    table().post();
    EXPECT_EQ(field(store::kNameField), "Garden Shop");
}

TEST_F(TableLinksTest, PasteInNaturalOrderTakesTheWidthOfTheName) {
    seed({{"Old Name", ""}});
    open();
    table().setIndexName(QString());
    table().edit();
    clipboard.setText(QString(40, u'x'));
    names->exchangeNamesWithClipboard();
    EXPECT_EQ(field(store::kNameField), QString(30, u'x'));
}

TEST_F(TableLinksTest, PasteTheCodePageCannotHoldLeavesTheNameAlone) {
    seed({{"Old Name", ""}});
    open();
    table().insert();
    table().fieldByName(store::kNameField).setAsString(QStringLiteral("Typed"));
    clipboard.setText(QStringLiteral("Snow \u2603"));
    EXPECT_THROW(names->exchangeNamesWithClipboard(), xbase::Error);
    EXPECT_EQ(field(store::kNameField), "Typed");
    EXPECT_EQ(table().state(), DataSetState::Insert);
}

TEST_F(TableLinksTest, CopyWhileBrowsingTakesTheCurrentName) {
    seed({{"Adams", ""}, {"Baker  ", ""}, {"Cole", ""}});
    open();
    table().first();
    table().next();
    names->exchangeNamesWithClipboard();
    EXPECT_EQ(clipboard.text(), "Baker");
    EXPECT_EQ(clipboard.history().size(), 1u);
}

TEST_F(TableLinksTest, CopyOfSelectedRowsFollowsTheGridsListAndKeepsTheCurrentEntry) {
    // Entered in this order; the grid shows them by name: Adams, Baker, Cole, Dunn.
    seed({{"Dunn", ""}, {"Adams", ""}, {"Cole", ""}, {"Baker", ""}});
    open();
    clickRow(2, false);  // Cole
    clickRow(3, true);   // Dunn
    clickRow(0, true);   // Adams
    ASSERT_EQ(grid->selectedRows().size(), 3);
    table().first();
    table().next();  // Baker current, not among the selected
    const QList<data::Bookmark> selectedBefore = grid->selectedRows();

    names->exchangeNamesWithClipboard();
    // The grid keeps its selected rows in the engine's bookmark order: order of entry.
    EXPECT_EQ(clipboard.text(), "Dunn\nAdams\nCole");
    EXPECT_EQ(field(store::kNameField), "Baker");
    EXPECT_EQ(grid->selectedRows(), selectedBefore);
    EXPECT_FALSE(table().controlsDisabled());
}

TEST_F(TableLinksTest, CopyFromAnEmptyTableLeavesTheClipboardAlone) {
    open();
    clipboard.setText(QStringLiteral("kept"));
    names->exchangeNamesWithClipboard();
    EXPECT_EQ(clipboard.text(), "kept");
    EXPECT_EQ(clipboard.history().size(), 1u);
}

}  // namespace
