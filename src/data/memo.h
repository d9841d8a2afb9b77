#pragma once
// A memo editor bound to a memo (or text) field: shows the current record's text,
// read-only while the data set is browsing, and writes what is typed into the field
// while it is editing or inserting.

#include <QPlainTextEdit>
#include <QPointer>

#include "datasource.h"

namespace data {

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit DBMemo(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    void setDataField(const QString& fieldName);
    const QString& dataField() const;

    void setWordWrap(bool wrap);
    bool wordWrap() const;

signals:
    void keyTyped(QChar character);  // printable keys, before the editor handles them
    void focusLost();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void load();
    void store();

    QPointer<DataSource> source_;
    QString field_;
    bool loading_ = false;
};

}  // namespace data
