#include <links/memo_lines.h>

#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

TEST(MemoLines, WrappedLinesFollowTheControlAndJoinUpToTheParagraph) {
    QPlainTextEdit memo;
    memo.setFont(QFont(QStringLiteral("Arial"), 10));
    memo.resize(120, 300);
    memo.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo.show();
    const QString paragraph =
        QStringLiteral("Call 555-1234 in the morning or 555-9876 after six, ask for Jo");
    memo.setPlainText(QStringLiteral("Top line\n") + paragraph + QStringLiteral("\nlast"));

    const QStringList wrapped = links::memoLines(memo, true);
    ASSERT_GT(wrapped.size(), 3);
    EXPECT_EQ(wrapped.front(), "Top line");
    EXPECT_EQ(wrapped.back(), "last");
    EXPECT_EQ(wrapped.mid(1, wrapped.size() - 2).join(QString()), paragraph);

    EXPECT_EQ(links::memoLines(memo, false), (QStringList{"Top line", paragraph, "last"}));

    memo.setLineWrapMode(QPlainTextEdit::NoWrap);
    EXPECT_EQ(links::memoLines(memo, true), (QStringList{"Top line", paragraph, "last"}));
}

TEST(MemoLines, LinesOutOfSightAreBrokenToo) {
    QPlainTextEdit memo;
    memo.resize(120, 40);
    memo.show();
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1 with enough words to wrap\n").arg(i);
    memo.setPlainText(text);
    EXPECT_GT(links::memoLines(memo, true).size(), 400);
}

TEST(MemoLines, CarriageReturnsAreNotPartOfALine) {
    QPlainTextEdit memo;
    memo.setPlainText(QStringLiteral("a\r\nb\r\n"));
    const QStringList lines = links::memoLines(memo, false);
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
}

}  // namespace
