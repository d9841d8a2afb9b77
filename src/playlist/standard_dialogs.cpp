#include <playlist/standard_dialogs.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QRegularExpression>

#include <platform/save_file_dialog.h>

namespace playlist {

namespace {

void setUp(QFileDialog& dialog, const FileDialogSettings& settings) {
    if (!settings.caption.isEmpty()) dialog.setWindowTitle(settings.caption);
    if (!settings.filter.isEmpty()) dialog.setNameFilter(settings.filter);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    // A name typed without an extension takes the one of the file type chosen.
    if (!settings.defaultSuffix.isEmpty()) {
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
                static const QRegularExpression firstPattern(QStringLiteral(R"(\(\*\.(\w+)[ )])"));
                const QRegularExpressionMatch found = firstPattern.match(filter);
                if (found.hasMatch()) dialog.setDefaultSuffix(found.captured(1));
            });
    }

    const QFileInfo proposed(settings.fileName);
    if (!settings.fileName.isEmpty() && proposed.isAbsolute()) {
        dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
        return;
    }
    dialog.setDirectory(settings.directory.isEmpty()
                            ? QDir::currentPath()
                            : QFileInfo(settings.directory).absoluteFilePath());
    if (!settings.fileName.isEmpty()) dialog.selectFile(settings.fileName);
}

std::optional<QStringList> run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QStringList names;
    for (const QString& name : dialog.selectedFiles()) names << QFileInfo(name).absoluteFilePath();
    if (names.isEmpty()) return std::nullopt;
    return names;
}

}  // namespace

std::optional<QString> DesktopStandardDialogs::inputBox(QWidget* parent, const QString& caption,
                                                        const QString& prompt, const QString& text,
                                                        int maxLength) {
    QInputDialog box(parent);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(text);
    if (auto* field = box.findChild<QLineEdit*>()) {
        field->setMaxLength(maxLength);
        field->selectAll();
    }
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    return box.textValue();
}

std::optional<QString> DesktopStandardDialogs::openFileName(QWidget* parent,
                                                            const FileDialogSettings& settings) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(settings.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setUp(dialog, settings);
    const std::optional<QStringList> names = run(dialog);
    if (!names) return std::nullopt;
    return names->first();
}

std::optional<QStringList> DesktopStandardDialogs::openFileNames(
    QWidget* parent, const FileDialogSettings& settings) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    setUp(dialog, settings);
    return run(dialog);
}

std::optional<QString> DesktopStandardDialogs::saveFileName(QWidget* parent,
                                                            const FileDialogSettings& settings) {
    platform::SaveFileDialog dialog(parent);
    dialog.setConfirmOverwrite(settings.confirmOverwrite);
    setUp(dialog, settings);
    const std::optional<QStringList> names = run(dialog);
    if (!names) return std::nullopt;
    return names->first();
}

}  // namespace playlist
