#pragma once
// A memo editor bound to a memo (or text) field: shows the current record's text,
// read-only while the data set is browsing, and writes what is typed into the field
// while it is editing or inserting. Line breaks are stored as CR LF, as xBase memos
// hold them. Text the table's code page cannot hold is refused as it is typed or pasted.

#include <QPlainTextEdit>
#include <QPointer>

#include <array>
#include <exception>
#include <functional>
#include <string>

#include <data/datasource.h>

namespace data {

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit DBMemo(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const;
    void setDataField(const QString& fieldName);
    const QString& dataField() const;

    void setWordWrap(bool wrap);
    bool wordWrap() const;

    // Where a refused text (a character the code page cannot hold) or an engine error
    // goes. Unset: a plain error box.
    std::function<void(const std::exception& error)> showError;

  signals:
    void keyTyped(QChar character);  // printable keys, before the editor handles them
    // The focus moved on to another control of this window. A box, a menu, another
    // window or a dialog takes it only for a while and gives it back: that is no exit.
    void exited();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    Field* field() const;
    void load();
    void store();
    void updateReadOnly();
    // True when `text` may go in: the set is (or may be put) in edit state and its code
    // page holds every character; otherwise tells the user and answers false.
    bool accept(const QString& text);
    void report(const std::exception& error);

    QPointer<DataSource> source_;
    QString field_;
    bool loading_ = false;
    bool storing_ = false;
    std::string readFailure_;  // the last memo read that failed, reported once
    std::array<QMetaObject::Connection, 4> connections_;
};

}  // namespace data
