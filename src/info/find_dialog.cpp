#include "find_dialog.h"

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

    FindLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    FindLabel->setObjectName(QStringLiteral("FindLabel"));
    FindLabel->setGeometry(8, 14, 64, 20);

    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setGeometry(74, 12, 180, 24);
    FindEdit->setMaxLength(255);
    FindLabel->setBuddy(FindEdit);

    FindNextButton = new QPushButton(QStringLiteral("&Find Next"), this);
    FindNextButton->setObjectName(QStringLiteral("FindNextButton"));
    FindNextButton->setGeometry(264, 10, 80, 26);
    FindNextButton->setDefault(true);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(264, 40, 80, 26);

    // As in the usual Find dialog, there is nothing to find until something is typed.
    FindNextButton->setEnabled(false);
    connect(FindEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { FindNextButton->setEnabled(!text.isEmpty()); });
    connect(FindNextButton, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(CancelButton, &QPushButton::clicked, this, &FindDialog::reject);
}

QString FindDialog::findText() const {
    return FindEdit->text();
}

void FindDialog::setFindText(const QString& text) {
    FindEdit->setText(text);
    FindEdit->selectAll();
}

}  // namespace info
