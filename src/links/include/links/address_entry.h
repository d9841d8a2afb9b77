#pragma once
// The current entry of the address table as the main window shows it: the link actions'
// view of the table, the main memo and the name grid.

#include <QString>
#include <QStringList>

#include <string>

#include <links/link_actions.h>

class QWidget;

namespace data {
class DataSet;
class DBMemo;
}  // namespace data

namespace links {

class AddressEntry : public EntryContext {
  public:
    AddressEntry(data::DataSet& table, data::DBMemo& memo, QWidget& grid);

    QString entryName() override;
    QStringList memoLines(bool wrapped) override;
    std::string toTableText(const QString& text) override;
    QString fromTableText(const std::string& bytes) override;

    void focusMemo() override;
    void editEntry() override;
    QString memoText() override;
    void appendToMemo(const QString& text) override;
    // A refusal of the save hooks (data::Abort, their message already shown) answers false.
    bool postEntry() override;
    void focusGrid() override;

  private:
    data::DataSet& table_;
    data::DBMemo& memo_;
    QWidget& grid_;
};

}  // namespace links
