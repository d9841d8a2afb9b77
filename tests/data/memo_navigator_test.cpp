// The bound memo and the record navigator.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <fstream>

#include <gtest/gtest.h>

#include <data/memo.h>
#include <data/navigator.h>
#include <xbase/error.h>

#include "data_fixture.h"

namespace {

using data::DataSetState;
using data::DBNavigator;

class BoundControlsTest : public datatest::DataSetTest {
  protected:
    void show(const std::vector<std::string>& names) {
        openTable(names);
        source.setDataSet(&table);
        source.setAutoEdit(false);
        // The error display first: the memo reads the record as soon as it is bound.
        memo->showError = [this](const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        };
        memo->setDataField(QStringLiteral("INFO"));
        memo->setDataSource(&source);
        navigator->setDataSource(&source);
        navigator->showError = memo->showError;
        navigator->confirmDelete = [this](const QString& question) {
            questions << question;
            return answer;
        };
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        memo->setFocus();
    }

    QString memoText() { return table.fieldByName(QStringLiteral("INFO")).asString(); }

    // Which buttons are enabled, as a row of letters: F P N L I D E S(ave) C, '-' when off.
    std::string enabled() {
        std::string out;
        for (int i = 0; i < DBNavigator::ButtonCount; ++i)
            out += navigator->button(DBNavigator::Button(i))->isEnabled() ? "FPNLIDESC"[i] : '-';
        return out;
    }

    data::DataSource source;
    QStringList errors;
    QStringList questions;
    bool answer = true;
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    data::DBMemo* memo = new data::DBMemo(&window);
    data::DBNavigator* navigator = new data::DBNavigator(&window);
    QWidget* elsewhere = new QWidget(&window);
    void SetUp() override {
        layout->addWidget(memo);
        layout->addWidget(navigator);
        layout->addWidget(elsewhere);
        elsewhere->setFocusPolicy(Qt::StrongFocus);
    }
};

// ---------------------------------------------------------------- memo

TEST_F(BoundControlsTest, MemoShowsTheCurrentRecordAndIsReadOnlyWhileBrowsing) {
    show({"Adams", "Baker"});
    EXPECT_EQ(memo->toPlainText(), "Memo of Adams\nsecond line");
    EXPECT_TRUE(memo->isReadOnly());
    QSignalSpy typed(memo, &data::DBMemo::keyTyped);
    QTest::keyClicks(memo, "xy");
    EXPECT_EQ(typed.count(), 2);
    EXPECT_EQ(memo->toPlainText(), "Memo of Adams\nsecond line");
    EXPECT_EQ(table.state(), DataSetState::Browse);

    table.next();
    EXPECT_EQ(memo->toPlainText(), "Memo of Baker\nsecond line");
    table.close();
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_TRUE(memo->isReadOnly());
}

TEST_F(BoundControlsTest, MemoWritesWhatIsTypedWhileEditingWithCrLfLineEnds) {
    show({"Adams"});
    table.edit();
    EXPECT_FALSE(memo->isReadOnly());
    memo->moveCursor(QTextCursor::End);
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, "Phone: 555-1234");
    EXPECT_EQ(memoText(), "Memo of Adams\r\nsecond line\r\nPhone: 555-1234");
    EXPECT_TRUE(table.modified());
    table.post();
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(table.cursor().memo(1), "Memo of Adams\r\nsecond line\r\nPhone: 555-1234");

    // Cancel shows the stored text again; a change made by code shows at once.
    table.edit();
    QTest::keyClicks(memo, "junk");
    table.cancel();
    EXPECT_EQ(memo->toPlainText(), "Memo of Adams\nsecond line\nPhone: 555-1234");
    table.edit();
    table.fieldByName("INFO").setAsString("Email: a@b.example");
    EXPECT_EQ(memo->toPlainText(), "Email: a@b.example");
}

TEST_F(BoundControlsTest, MemoRefusesTextTheCodePageCannotHold) {
    show({"Adams"});
    table.edit();
    memo->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QString::fromUtf8(" → Zoë"));
    memo->paste();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QString::fromUtf8("The memo contains characters that cannot be stored in "
                                           "this address book (code page 1252): \"→\""));
    for (QChar c : QString::fromUtf8("é☺")) {  // keys of a layout QTest does not know
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(memo, &press);
    }
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("Memo of Adams\nsecond lineé"));
    EXPECT_EQ(memoText(), QString::fromUtf8("Memo of Adams\r\nsecond lineé"));
}

TEST_F(BoundControlsTest, ADamagedMemoIsReportedOnceAndNotOfferedForEditing) {
    datatest::writeNames(folder.path(), {"Adams", "Baker"});
    {
        // Point the first record's memo far beyond the end of the memo file.
        std::fstream dbf(folder / "ADDRESS.DBF", std::ios::in | std::ios::out | std::ios::binary);
        unsigned char head[12];
        dbf.read(reinterpret_cast<char*>(head), sizeof head);
        const int headerLength = head[8] | head[9] << 8;
        dbf.seekp(headerLength + 1 + 30);
        dbf.write("    999999", 10);
    }
    show({});
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NE(errors[0].indexOf("is damaged"), -1);
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    table.edit();
    EXPECT_TRUE(memo->isReadOnly());
    table.next();
    EXPECT_EQ(memo->toPlainText(), "Memo of Baker\nsecond line");
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(BoundControlsTest, MemoWithAutoEditStartsEditingWhenTyped) {
    show({"Adams"});
    source.setAutoEdit(true);
    memo->setDataSource(&source);
    EXPECT_FALSE(memo->isReadOnly());
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, "!");
    EXPECT_EQ(table.state(), DataSetState::Edit);
    EXPECT_EQ(memoText(), "Memo of Adams\r\nsecond line!");
}

TEST_F(BoundControlsTest, MemoWrapsOnRequestAndReportsLeavingIt) {
    show({"Adams"});
    EXPECT_TRUE(memo->wordWrap());
    memo->setWordWrap(false);
    EXPECT_FALSE(memo->wordWrap());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    QSignalSpy left(memo, &data::DBMemo::exited);
    memo->setFocus();
    elsewhere->setFocus();
    EXPECT_EQ(left.count(), 1);
}

// ---------------------------------------------------------------- navigator

TEST_F(BoundControlsTest, NavigatorHasNineButtonsWithHintsAndPictures) {
    show({"Adams"});
    const QStringList hints = {"First record", "Prior record",  "Next record",
                               "Last record",  "Insert record", "Delete record",
                               "Edit record",  "Post edit",     "Cancel edit"};
    for (int i = 0; i < DBNavigator::ButtonCount; ++i) {
        QToolButton* button = navigator->button(DBNavigator::Button(i));
        EXPECT_EQ(button->toolTip(), hints[i]);
        // Something visible in both looks, also with no icon theme.
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            const QImage image = button->icon().pixmap(16, 16, mode).toImage();
            ASSERT_FALSE(image.isNull()) << i;
            int inked = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) inked += qAlpha(image.pixel(x, y)) > 128;
            EXPECT_GT(inked, 10) << hints[i].toStdString();
        }
    }
}

TEST_F(BoundControlsTest, NavigatorButtonsFollowThePositionAndTheState) {
    show({"Adams", "Baker", "Cole"});
    EXPECT_EQ(enabled(), "--NLIDE--");
    navigator->click(DBNavigator::Next);
    EXPECT_EQ(enabled(), "FPNLIDE--");
    navigator->click(DBNavigator::Last);
    EXPECT_EQ(enabled(), "FP--IDE--");
    table.gotoBookmark(table.visibleAt(0));  // reached without First: still the first row
    EXPECT_EQ(enabled(), "--NLIDE--");

    // Another program adds entries before the first and after the last: the ends move.
    navigator->click(DBNavigator::First);
    {
        xbase::Cursor other;
        other.open(folder.path() / "ADDRESS.DBF", xbase::OpenOptions{});
        for (const char* name : {"Aaron", "Zulu"}) {
            other.append();
            other.setText(0, name);
            other.post();
        }
    }
    table.visibleCount();  // as a repaint would: the set notices and tells its controls
    QApplication::processEvents();
    EXPECT_EQ(enabled(), "FPNLIDE--");
    navigator->click(DBNavigator::First);
    navigator->click(DBNavigator::Last);
    EXPECT_EQ(table.fieldByName(QStringLiteral("NAME")).asString(), QStringLiteral("Zulu"));
    navigator->click(DBNavigator::First);
    navigator->click(DBNavigator::Edit);
    EXPECT_EQ(enabled(), "--NL---SC");
    navigator->click(DBNavigator::Cancel);
    navigator->click(DBNavigator::Insert);
    EXPECT_EQ(table.state(), DataSetState::Insert);
    EXPECT_EQ(enabled().substr(4), "---SC");
    navigator->click(DBNavigator::Cancel);

    while (!table.isEmpty()) table.deleteRecord();
    EXPECT_EQ(enabled(), "----I----");
    table.close();
    EXPECT_EQ(enabled(), "---------");
    table.setReadOnly(true);
    table.open();
    EXPECT_EQ(enabled(), "---------");
}

TEST_F(BoundControlsTest, NavigatorDeleteAsksFirst) {
    show({"Adams", "Baker"});
    int deletes = 0;
    table.afterDelete = [&](data::DataSet&) { ++deletes; };
    QSignalSpy clicked(navigator, &DBNavigator::clicked);
    answer = false;
    navigator->click(DBNavigator::Delete);
    EXPECT_EQ(questions, QStringList({"Delete record?"}));
    EXPECT_EQ(deletes, 0);
    answer = true;
    QTest::mouseClick(navigator->button(DBNavigator::Delete), Qt::LeftButton);
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(rows(), QStringList({"Baker"}));
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(QApplication::focusWidget(), memo);  // the buttons take no focus
}

TEST_F(BoundControlsTest, NavigatorSavesThroughTheEventsAndShowsFailures) {
    show({"Adams"});
    std::vector<std::string> events;
    table.afterInsert = [&](data::DataSet&) { events.push_back("insert"); };
    table.beforePost = [&](data::DataSet& set) {
        if (set.fieldByName("NAME").isNull()) throw data::Abort{};  // refused, silently
        if (set.fieldByName("NAME").asString() == "Locked")
            throw xbase::Error(xbase::ErrorKind::Locked, xbase::code::RecordLocked,
                               "Record is locked");
    };
    table.afterPost = [&](data::DataSet&) { events.push_back("post"); };
    navigator->click(DBNavigator::Insert);
    navigator->click(DBNavigator::Post);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(table.state(), DataSetState::Insert);
    table.fieldByName("NAME").setAsString("Locked");
    navigator->click(DBNavigator::Post);
    EXPECT_EQ(errors, QStringList({"Record is locked"}));
    EXPECT_EQ(enabled().substr(7), "SC");
    table.fieldByName("NAME").setAsString("Baker");
    navigator->click(DBNavigator::Post);
    EXPECT_EQ(events, (std::vector<std::string>{"insert", "post"}));
    EXPECT_EQ(rows(), QStringList({"Adams", "Baker"}));
}

}  // namespace
