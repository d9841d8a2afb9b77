#include <info/find_dialog.h>

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace info {

FindDialog::FindDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FindDialog1"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    setFixedSize(352, 72);
    // A window of its own takes no font from its owner; this is the dialog font the forms use.
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    findCaption = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findCaption->setObjectName(QStringLiteral("FindLabel"));
    findCaption->setGeometry(8, 14, 64, 20);

    findEdit = new QLineEdit(this);
    findEdit->setObjectName(QStringLiteral("FindEdit"));
    findEdit->setGeometry(74, 12, 180, 24);
    findEdit->setMaxLength(255);
    findCaption->setBuddy(findEdit);

    findNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    findNextButton->setObjectName(QStringLiteral("FindNextButton"));
    findNextButton->setGeometry(264, 10, 80, 26);
    findNextButton->setDefault(true);

    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("CancelButton"));
    cancelButton->setGeometry(264, 40, 80, 26);

    // As in the usual Find dialog, there is nothing to find until something is typed.
    findNextButton->setEnabled(false);
    connect(findEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { findNextButton->setEnabled(!text.isEmpty()); });
    connect(findNextButton, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancelButton, &QPushButton::clicked, this, &FindDialog::reject);
}

QString FindDialog::findText() const {
    return findEdit->text();
}

void FindDialog::setFindText(const QString& text) {
    findEdit->setText(text);
    findEdit->selectAll();
}

}  // namespace info
