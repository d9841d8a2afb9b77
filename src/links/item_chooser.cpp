#include <links/item_chooser.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <platform/clipboard.h>
#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/help_pages.h>
#include <platform/prompter.h>
#include <platform/shell.h>

namespace links {
namespace {

using platform::kNavy;
using platform::pixelFont;
using platform::plainLabel;
using platform::pushButton;
using platform::setTabStop;
using platform::setTextColour;

constexpr int kClientWidth = 419;
constexpr int kClientHeight = 391;
constexpr int kPanelHeight = 36;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

struct KindWords {
    const char* action;
    const char* noun;
};

KindWords wordsFor(ItemKind kind) {
    switch (kind) {
        case ItemKind::Email:
            return {"Message to ", "E-mail address"};
        case ItemKind::Phone:
            return {"Dial ", "Phone No."};
        case ItemKind::Web:
            return {"GoTo ", "link"};
        case ItemKind::File:
            return {"Open ", "File"};
    }
    return {"", ""};
}

}  // namespace

ItemChooser::ItemChooser(platform::Prompter& prompter, platform::Shell& shell,
                         platform::Clipboard& clipboard, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      prompter_(prompter),
      shell_(shell),
      clipboard_(clipboard) {
    setObjectName(QStringLiteral("BtnBottomDlg"));
    setWindowTitle(QString::fromLatin1(kChooserDesignCaption));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(pixelFont("MS Sans Serif", 11));
    createControls();
}

void ItemChooser::createControls() {
    notFoundNotice = plainLabel(this, "NotYetLabel");
    notFoundNotice->setFont(pixelFont("Arial", 11, true));
    setTextColour(notFoundNotice, Qt::red);
    notFoundNotice->setGeometry(20, 13, kClientWidth - 20, 16);
    notFoundNotice->hide();

    answerEdit = new QLineEdit(this);
    answerEdit->setObjectName(QStringLiteral("Edit1"));
    answerEdit->setFont(pixelFont("MS Sans Serif", 15));
    answerEdit->setGeometry(2, 33, 415, 24);

    itemCombo = new QComboBox(this);
    itemCombo->setObjectName(QStringLiteral("ComboBox1"));
    itemCombo->setEditable(true);
    // The list stays as found, and Enter must not add the typed text to it.
    itemCombo->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed prefix of a listed address into the whole one.
    itemCombo->setCompleter(nullptr);
    itemCombo->setMaxVisibleItems(14);
    itemCombo->setFont(pixelFont("MS Sans Serif", 15));
    itemCombo->setGeometry(2, 33, 415, 24);
    setTabStop(itemCombo, false);
    itemCombo->view()->installEventFilter(this);

    lineBeforeLabel = plainLabel(this, "Label1");
    itemLineLabel = plainLabel(this, "Label2");
    for (QLabel* label : {lineBeforeLabel, itemLineLabel}) {
        label->setFont(pixelFont("Arial", 13));
        setTextColour(label, kNavy);
    }
    lineBeforeLabel->setGeometry(8, 293, kClientWidth - 8, 17);
    itemLineLabel->setGeometry(8, 312, kClientWidth - 8, 17);

    optionCheck = new QCheckBox(QStringLiteral("Send to all"), this);
    optionCheck->setObjectName(QStringLiteral("CheckAll"));
    optionCheck->setToolTip(QStringLiteral("Use multiple addresses"));
    optionCheck->setGeometry(12, 335, 176, 17);
    setTabStop(optionCheck, false);

    sendAsBccCheck = new QCheckBox(QStringLiteral("Send as :bcc"), this);
    sendAsBccCheck->setObjectName(QStringLiteral("bcc"));
    sendAsBccCheck->setToolTip(QStringLiteral("Disclose recipients to each other?"));
    sendAsBccCheck->setFont(pixelFont("Arial", 11, true));
    sendAsBccCheck->setGeometry(171, 335, 204, 17);
    setTabStop(sendAsBccCheck, false);
    sendAsBccCheck->hide();

    linesBeforeList = new QListWidget(this);
    linesBeforeList->setObjectName(QStringLiteral("mylist1"));
    itemLinesList = new QListWidget(this);
    itemLinesList->setObjectName(QStringLiteral("myList2"));
    stagingText = new QPlainTextEdit(this);
    stagingText->setObjectName(QStringLiteral("Memo1"));
    stagingText->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{linesBeforeList, itemLinesList, stagingText}) {
        hidden->setFocusPolicy(Qt::NoFocus);
        hidden->hide();
    }

    buttonPanel = new QFrame(this);
    buttonPanel->setObjectName(QStringLiteral("Panel1"));
    buttonPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    buttonPanel->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);

    QStyle* style = this->style();
    okButton = pushButton(buttonPanel, "OKBtn", QStringLiteral("OK"), {},
                          style->standardIcon(QStyle::SP_DialogOkButton));
    okButton->setDefault(true);
    copyButton = pushButton(buttonPanel, "ButtonClipboard", QStringLiteral("Copy"), {},
                            platform::formIcon(QStringLiteral("clipboard")));
    copyButton->setToolTip(QStringLiteral("Copy ALL choices to Windows Clipboard"));
    cancelButton = pushButton(buttonPanel, "CancelBtn", QStringLiteral("Cancel"), {},
                              style->standardIcon(QStyle::SP_DialogCancelButton));
    helpButton = pushButton(buttonPanel, "BitBtn1", QStringLiteral("Help"), {},
                            style->standardIcon(QStyle::SP_DialogHelpButton));

    // Four buttons spread evenly over the panel, left to right.
    constexpr int kGap = 20;
    int x = (kClientWidth - 4 * kButtonWidth - 3 * kGap) / 2;
    for (QPushButton* button : {okButton, copyButton, cancelButton, helpButton}) {
        button->setGeometry(x, (kPanelHeight - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kGap;
    }
    for (QPushButton* button : {okButton, cancelButton, helpButton}) setTabStop(button, false);
    // Enter means OK. A button that merely had the focus must not take that over: the
    // dialog is reused, and a Copy button focused in one use would answer Enter in the next.
    for (QPushButton* button : {copyButton, cancelButton, helpButton})
        button->setAutoDefault(false);
    setTabStop(copyButton, true);
    setTabOrder(answerEdit, itemCombo);
    setTabOrder(itemCombo, copyButton);

    connect(itemCombo, &QComboBox::currentIndexChanged, this, [this] { showContextOfChoice(); });
    connect(itemCombo, &QComboBox::activated, this, [this] { showContextOfChoice(); });
    connect(optionCheck, &QCheckBox::toggled, this, [this] { followSendToAll(); });
    connect(okButton, &QPushButton::clicked, this, [this] { acceptAnswer(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { refuseAnswer(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copyItemsToClipboard(); });
    connect(helpButton, &QPushButton::clicked, this, [this] { showHelp(); });
}

void ItemChooser::setItems(const QStringList& items, bool showContext,
                           const QStringList& linesBefore, const QStringList& itemLines) {
    showsContext = showContext;
    {
        // Filling the list is not a choice of the user: the labels are set below.
        const QSignalBlocker quiet(itemCombo);
        itemCombo->clear();
        itemCombo->addItems(items);
    }
    if (!showContext) return;
    linesBeforeList->clear();
    linesBeforeList->addItems(linesBefore);
    itemLinesList->clear();
    itemLinesList->addItems(itemLines);
    lineBeforeLabel->setText(linesBeforeList->count() > 0 ? linesBeforeList->item(0)->text()
                                                          : QString());
    itemLineLabel->setText(itemLinesList->count() > 0 ? itemLinesList->item(0)->text() : QString());
}

QStringList ItemChooser::items() const {
    QStringList items;
    for (int i = 0; i < itemCombo->count(); ++i) items << itemCombo->itemText(i);
    return items;
}

bool ItemChooser::choose(int count, ItemKind kind) {
    const KindWords words = wordsFor(kind);
    const QString action = QString::fromLatin1(words.action);
    const QString noun = QString::fromLatin1(words.noun);

    const bool fromList = count >= 2;
    answerEdit->setEnabled(!fromList);
    answerEdit->setVisible(!fromList);
    setTabStop(answerEdit, !fromList);
    itemCombo->setEnabled(fromList);
    itemCombo->setVisible(fromList);
    setTabStop(itemCombo, fromList);
    if (fromList) {
        itemCombo->setFocus();
    } else {
        answerEdit->setFocus();
    }

    optionCheck->hide();
    optionCheck->setChecked(false);
    optionCheck->setText(QStringLiteral("send to all"));
    optionCheck->setToolTip(QStringLiteral("Use multiple addresses"));

    if (count <= 0) {
        notFoundNotice->setText(QStringLiteral("No ") + noun +
                                QStringLiteral(" found, but you can enter one below"));
        notFoundNotice->show();
        setWindowTitle(action + noun);
        answerEdit->clear();
    } else if (count == 1) {
        setWindowTitle(action + noun + u':');
        answerEdit->setText(itemCombo->count() > 0 ? itemCombo->itemText(0) : QString());
    } else {
        setWindowTitle(QStringLiteral("Choose ") + noun + u':');
        itemCombo->setCurrentIndex(0);
        // The same index keeps text typed in an earlier use; the first item replaces it.
        itemCombo->setEditText(itemCombo->itemText(0));
        if (kind == ItemKind::Email) optionCheck->show();
    }

    beginUse(count);
    platform::centreOnScreen(*this);
    exec();

    const bool accepted = !refused_;
    if (fromList) answerEdit->setText(itemCombo->currentText());
    return accepted;
}

void ItemChooser::beginUse(int offeredCount) {
    offeredCount_ = offeredCount;
    refused_ = false;
}

void ItemChooser::dropDownListOnShow() {
    if (!itemCombo->isEnabled()) return;
    copyButton->setFocus();
    // Open the list once the window is up, as a posted request would.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && itemCombo->isEnabled() && itemCombo->isVisible()) itemCombo->showPopup();
    });
}

void ItemChooser::showContextLabels() {
    lineBeforeLabel->setVisible(showsContext);
    itemLineLabel->setVisible(showsContext);
}

void ItemChooser::showContextOfChoice() {
    if (!showsContext) return;
    const int index = itemCombo->currentIndex();
    // Typed text selects no entry of the list, so the labels keep what they show.
    if (index < 0 || itemCombo->currentText() != itemCombo->itemText(index)) return;
    if (index < linesBeforeList->count())
        lineBeforeLabel->setText(linesBeforeList->item(index)->text());
    if (index < itemLinesList->count()) itemLineLabel->setText(itemLinesList->item(index)->text());
}

void ItemChooser::followSendToAll() {
    if (optionCheck->isChecked()) {
        sendAsBccCheck->setEnabled(true);
    } else {
        sendAsBccCheck->setEnabled(false);
        sendAsBccCheck->setChecked(false);
    }
}

void ItemChooser::acceptAnswer() {
    // From a list the answer is the item shown; otherwise it has to be typed.
    refused_ = offeredCount_ < 2 && answerEdit->text().isEmpty();
    done(QDialog::Accepted);
}

void ItemChooser::refuseAnswer() {
    refused_ = true;
    done(QDialog::Rejected);
}

void ItemChooser::copyItemsToClipboard() {
    stagingText->clear();
    for (int i = 0; i < itemCombo->count(); ++i)
        stagingText->appendPlainText(itemCombo->itemText(i));
    stagingText->selectAll();
    // Copying an empty selection leaves the clipboard as it was.
    const QString text = stagingText->toPlainText();
    if (!text.isEmpty()) clipboard_.setText(text);
    prompter_.message(QString::fromLatin1(kCopiedMessage));
}

void ItemChooser::showHelp() {
    const char* page = optionCheck->isHidden() ? kChooserHelpPage : kSendToAllHelpPage;
    shell_.openUrl(platform::helpPageUrl(QString::fromLatin1(page)).toString());
}

void ItemChooser::clearForNextUse() {
    notFoundNotice->hide();
    sendAsBccCheck->hide();
    lineBeforeLabel->clear();
    itemLineLabel->clear();
}

void ItemChooser::reject() {
    refuseAnswer();
}

void ItemChooser::done(int result) {
    // An open drop-down is a window of its own and would outlive the dialog.
    itemCombo->hidePopup();
    clearForNextUse();
    QDialog::done(result);
}

void ItemChooser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    showContextLabels();
    dropDownListOnShow();
}

bool ItemChooser::eventFilter(QObject* watched, QEvent* event) {
    // Enter and Escape on the dropped-down list belong to the list: Enter takes the
    // highlighted item into the box, Escape just closes the list. Qt closes the list while
    // it looks for shortcuts, then hands the same key press on to the dialog, where it
    // would mean OK or Cancel; keyPressEvent lets that one press go.
    if (watched == itemCombo->view() && event->type() == QEvent::ShortcutOverride &&
        itemCombo->view()->isVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            keyThatClosedTheList_ = key;
            QTimer::singleShot(0, this, [this] { keyThatClosedTheList_ = 0; });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ItemChooser::keyPressEvent(QKeyEvent* event) {
    if (keyThatClosedTheList_ != 0 && event->key() == keyThatClosedTheList_) {
        keyThatClosedTheList_ = 0;
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ItemChooser::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) showContextLabels();
}

}  // namespace links
