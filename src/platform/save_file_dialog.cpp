#include <platform/save_file_dialog.h>

#include <QFileInfo>
#include <QMessageBox>

namespace platform {

SaveFileDialog::SaveFileDialog(QWidget* parent, const QString& caption)
    : QFileDialog(parent, caption) {
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, true);  // accept() asks instead
}

void SaveFileDialog::accept() {
    const QStringList chosen = selectedFiles();
    if (confirmOverwrite_ && !chosen.isEmpty()) {
        const QFileInfo target(chosen.constFirst());
        // A folder is opened by the dialog, not replaced.
        if (target.exists() && !target.isDir()) {
            QMessageBox question(
                QMessageBox::Warning, windowTitle(),
                tr("%1 already exists.\nDo you want to replace it?").arg(target.fileName()),
                QMessageBox::Yes | QMessageBox::No, this);
            question.setTextFormat(Qt::PlainText);
            question.setDefaultButton(QMessageBox::No);
            if (question.exec() != QMessageBox::Yes) return;
        }
    }
    QFileDialog::accept();
}

}  // namespace platform
