#pragma once
// The current entry as the link actions see it, kept in memory: a name, a memo, the
// table's edit state and a record of the steps taken on it. Its code page is Latin-1.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <links/link_actions.h>

namespace linktest {

class FakeEntry : public links::EntryContext {
  public:
    QString name;
    QString memo;
    // The lines as the memo control breaks them; without it, the memo's own lines.
    std::optional<QStringList> wrappedLines;
    bool refuseSave = false;

    bool editing = false;
    int saves = 0;
    std::vector<std::string> steps;

    QString entryName() override { return name; }
    QStringList memoLines(bool wrapped) override {
        if (wrapped && wrappedLines) return *wrappedLines;
        return memo.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    }
    std::string toTableText(const QString& text) override {
        for (const QChar c : text) {
            if (c.unicode() > 0xFF) {
                throw std::invalid_argument("The table's code page cannot hold " +
                                            QString(c).toStdString());
            }
        }
        const QByteArray bytes = text.toLatin1();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    QString fromTableText(const std::string& bytes) override {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    void focusMemo() override { steps.push_back("focus memo"); }
    void editEntry() override {
        steps.push_back("edit");
        editing = true;
    }
    QString memoText() override { return memo; }
    void appendToMemo(const QString& text) override {
        steps.push_back("append");
        memo += text;
    }
    bool postEntry() override {
        steps.push_back("post");
        if (refuseSave) return false;
        editing = false;
        ++saves;
        return true;
    }
    void focusGrid() override { steps.push_back("focus grid"); }
};

}  // namespace linktest
