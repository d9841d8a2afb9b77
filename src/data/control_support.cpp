#include "control_support.h"

#include <QApplication>
#include <QMessageBox>

namespace data {

void reportError(QWidget* control, const std::function<void(const std::exception&)>& showError,
                 const std::exception& error) {
    if (showError) {
        showError(error);
        return;
    }
    // Error texts carry names and file names: shown as they are, never as HTML.
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                    QString::fromUtf8(error.what()), QMessageBox::Ok, control);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool confirmDeletion(QWidget* control, const std::function<bool(const QString&)>& confirm,
                     const QString& question) {
    if (confirm) return confirm(question);
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), question,
                    QMessageBox::Ok | QMessageBox::Cancel, control);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace data
