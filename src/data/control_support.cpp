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
    QMessageBox::critical(control, QApplication::applicationDisplayName(),
                          QString::fromUtf8(error.what()));
}

bool confirmDeletion(QWidget* control, const std::function<bool(const QString&)>& confirm,
                     const QString& question) {
    if (confirm) return confirm(question);
    return QMessageBox::question(control, QApplication::applicationDisplayName(), question,
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace data
