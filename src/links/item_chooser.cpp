#include "item_chooser.h"
#include <platform/form_style.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "platform/clipboard.h"
#include "platform/help_pages.h"
#include "platform/prompter.h"
#include "platform/shell.h"

namespace links {
namespace {

using platform::pixelFont;
using platform::setTextColour;
using platform::kNavy;

constexpr int kClientWidth = 419;
constexpr int kClientHeight = 391;
constexpr int kPanelHeight = 36;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;


void setTabStop(QWidget* widget, bool tabStop) {
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

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

// A clipboard with a written sheet on it, for the Copy button.
QIcon clipboardIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(90, 55, 20), 1.5));
    painter.setBrush(QColor(176, 120, 60));
    painter.drawRoundedRect(QRectF(5, 4, 22, 26), 2.5, 2.5);
    painter.setPen(QPen(QColor(120, 120, 120), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(8.5, 8.5, 15, 19));
    painter.setPen(QPen(QColor(40, 70, 160), 1.5));
    for (int line = 0; line < 4; ++line) {
        const qreal y = 13 + line * 4;
        painter.drawLine(QPointF(11, y), QPointF(line == 3 ? 17 : 21, y));
    }
    painter.setPen(QPen(QColor(70, 70, 70), 1));
    painter.setBrush(QColor(200, 200, 205));
    painter.drawRoundedRect(QRectF(11, 1.5, 10, 5), 1.5, 1.5);
    painter.end();
    return QIcon(picture);
}

}  // namespace

TBtnBottomDlg::TBtnBottomDlg(platform::Prompter& prompter, platform::Shell& shell,
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

void TBtnBottomDlg::createControls() {
    NotYetLabel = new QLabel(this);
    NotYetLabel->setObjectName(QStringLiteral("NotYetLabel"));
    NotYetLabel->setTextFormat(Qt::PlainText);
    NotYetLabel->setFont(pixelFont("Arial", 11, true));
    setTextColour(NotYetLabel, Qt::red);
    NotYetLabel->setGeometry(20, 13, kClientWidth - 20, 16);
    NotYetLabel->hide();

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFont(pixelFont("MS Sans Serif", 15));
    Edit1->setGeometry(2, 33, 415, 24);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // The list stays as found, and Enter must not add the typed text to it.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed prefix of a listed address into the whole one.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setMaxVisibleItems(14);
    ComboBox1->setFont(pixelFont("MS Sans Serif", 15));
    ComboBox1->setGeometry(2, 33, 415, 24);
    setTabStop(ComboBox1, false);
    ComboBox1->view()->installEventFilter(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel* label : {Label1, Label2}) {
        label->setTextFormat(Qt::PlainText);
        label->setFont(pixelFont("Arial", 13));
        setTextColour(label, kNavy);
    }
    Label1->setGeometry(8, 293, kClientWidth - 8, 17);
    Label2->setGeometry(8, 312, kClientWidth - 8, 17);

    CheckAll = new QCheckBox(QStringLiteral("Send to all"), this);
    CheckAll->setObjectName(QStringLiteral("CheckAll"));
    CheckAll->setToolTip(QStringLiteral("Use multiple addresses"));
    CheckAll->setGeometry(12, 335, 176, 17);
    setTabStop(CheckAll, false);

    bcc = new QCheckBox(QStringLiteral("Send as :bcc"), this);
    bcc->setObjectName(QStringLiteral("bcc"));
    bcc->setToolTip(QStringLiteral("Disclose recipients to each other?"));
    bcc->setFont(pixelFont("Arial", 11, true));
    bcc->setGeometry(171, 335, 204, 17);
    setTabStop(bcc, false);
    bcc->hide();

    mylist1 = new QListWidget(this);
    mylist1->setObjectName(QStringLiteral("mylist1"));
    myList2 = new QListWidget(this);
    myList2->setObjectName(QStringLiteral("myList2"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    for (QWidget* hidden : std::initializer_list<QWidget*>{mylist1, myList2, Memo1}) {
        hidden->setFocusPolicy(Qt::NoFocus);
        hidden->hide();
    }

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);

    QStyle* style = this->style();
    OKBtn = new QPushButton(style->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"),
                            Panel1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    ButtonClipboard = new QPushButton(clipboardIcon(), QStringLiteral("Copy"), Panel1);
    ButtonClipboard->setObjectName(QStringLiteral("ButtonClipboard"));
    ButtonClipboard->setToolTip(QStringLiteral("Copy ALL choices to Windows Clipboard"));
    CancelBtn = new QPushButton(style->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancel"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    BitBtn1 = new QPushButton(style->standardIcon(QStyle::SP_DialogHelpButton),
                              QStringLiteral("Help"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    // Four buttons spread evenly over the panel, left to right.
    constexpr int kGap = 20;
    int x = (kClientWidth - 4 * kButtonWidth - 3 * kGap) / 2;
    for (QPushButton* button : {OKBtn, ButtonClipboard, CancelBtn, BitBtn1}) {
        button->setGeometry(x, (kPanelHeight - kButtonHeight) / 2, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kGap;
    }
    for (QPushButton* button : {OKBtn, CancelBtn, BitBtn1}) setTabStop(button, false);
    // Enter means OK. A button that merely had the focus must not take that over: the
    // dialog is reused, and a Copy button focused in one use would answer Enter in the next.
    for (QPushButton* button : {ButtonClipboard, CancelBtn, BitBtn1}) button->setAutoDefault(false);
    setTabStop(ButtonClipboard, true);
    setTabOrder(Edit1, ComboBox1);
    setTabOrder(ComboBox1, ButtonClipboard);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(CheckAll, &QCheckBox::toggled, this, [this] { CheckAllClick(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    connect(ButtonClipboard, &QPushButton::clicked, this, [this] { ButtonClipboardClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TBtnBottomDlg::SetItems(const QStringList& items, bool showContext,
                             const QStringList& linesBefore, const QStringList& itemLines) {
    ShowContext = showContext;
    {
        // Filling the list is not a choice of the user: the labels are set below.
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->clear();
        ComboBox1->addItems(items);
    }
    if (!showContext) return;
    mylist1->clear();
    mylist1->addItems(linesBefore);
    myList2->clear();
    myList2->addItems(itemLines);
    Label1->setText(mylist1->count() > 0 ? mylist1->item(0)->text() : QString());
    Label2->setText(myList2->count() > 0 ? myList2->item(0)->text() : QString());
}

QStringList TBtnBottomDlg::Items() const {
    QStringList items;
    for (int i = 0; i < ComboBox1->count(); ++i) items << ComboBox1->itemText(i);
    return items;
}

bool TBtnBottomDlg::ChooseItem(int count, ItemKind kind) {
    const KindWords words = wordsFor(kind);
    const QString action = QString::fromLatin1(words.action);
    const QString noun = QString::fromLatin1(words.noun);

    const bool fromList = count >= 2;
    Edit1->setEnabled(!fromList);
    Edit1->setVisible(!fromList);
    setTabStop(Edit1, !fromList);
    ComboBox1->setEnabled(fromList);
    ComboBox1->setVisible(fromList);
    setTabStop(ComboBox1, fromList);
    if (fromList) {
        ComboBox1->setFocus();
    } else {
        Edit1->setFocus();
    }

    CheckAll->hide();
    CheckAll->setChecked(false);
    CheckAll->setText(QStringLiteral("send to all"));
    CheckAll->setToolTip(QStringLiteral("Use multiple addresses"));

    if (count <= 0) {
        NotYetLabel->setText(QStringLiteral("No ") + noun +
                             QStringLiteral(" found, but you can enter one below"));
        NotYetLabel->show();
        setWindowTitle(action + noun);
        Edit1->clear();
    } else if (count == 1) {
        setWindowTitle(action + noun + u':');
        Edit1->setText(ComboBox1->count() > 0 ? ComboBox1->itemText(0) : QString());
    } else {
        setWindowTitle(QStringLiteral("Choose ") + noun + u':');
        ComboBox1->setCurrentIndex(0);
        // The same index keeps text typed in an earlier use; the first item replaces it.
        ComboBox1->setEditText(ComboBox1->itemText(0));
        if (kind == ItemKind::Email) CheckAll->show();
    }

    Tag = count;
    centreOnScreen();
    exec();

    const bool accepted = Tag != kChooserRefused;
    if (fromList) Edit1->setText(ComboBox1->currentText());
    return accepted;
}

void TBtnBottomDlg::centreOnScreen() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void TBtnBottomDlg::FormShow() {
    if (!ComboBox1->isEnabled()) return;
    ButtonClipboard->setFocus();
    // Open the list once the window is up, as a posted request would.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && ComboBox1->isEnabled() && ComboBox1->isVisible()) ComboBox1->showPopup();
    });
}

void TBtnBottomDlg::FormActivate() {
    Label1->setVisible(ShowContext);
    Label2->setVisible(ShowContext);
}

void TBtnBottomDlg::ComboBox1Change() {
    if (!ShowContext) return;
    const int index = ComboBox1->currentIndex();
    // Typed text selects no entry of the list, so the labels keep what they show.
    if (index < 0 || ComboBox1->currentText() != ComboBox1->itemText(index)) return;
    if (index < mylist1->count()) Label1->setText(mylist1->item(index)->text());
    if (index < myList2->count()) Label2->setText(myList2->item(index)->text());
}

void TBtnBottomDlg::CheckAllClick() {
    if (CheckAll->isChecked()) {
        bcc->setEnabled(true);
    } else {
        bcc->setEnabled(false);
        bcc->setChecked(false);
    }
}

void TBtnBottomDlg::OKBtnClick() {
    if (Tag >= 2) {
        Tag = kChooserAccepted;
    } else {
        Tag = Edit1->text().isEmpty() ? kChooserRefused : kChooserAccepted;
    }
    done(QDialog::Accepted);
}

void TBtnBottomDlg::CancelBtnClick() {
    Tag = kChooserRefused;
    done(QDialog::Rejected);
}

void TBtnBottomDlg::ButtonClipboardClick() {
    Memo1->clear();
    for (int i = 0; i < ComboBox1->count(); ++i) Memo1->appendPlainText(ComboBox1->itemText(i));
    Memo1->selectAll();
    // Copying an empty selection leaves the clipboard as it was.
    const QString text = Memo1->toPlainText();
    if (!text.isEmpty()) clipboard_.setText(text);
    prompter_.message(QString::fromLatin1(kCopiedMessage));
}

void TBtnBottomDlg::BitBtn1Click() {
    const char* page = CheckAll->isHidden() ? kChooserHelpPage : kSendToAllHelpPage;
    shell_.openUrl(platform::helpPageUrl(QString::fromLatin1(page)).toString());
}

void TBtnBottomDlg::FormClose() {
    NotYetLabel->hide();
    bcc->hide();
    Label1->clear();
    Label2->clear();
}

void TBtnBottomDlg::reject() {
    CancelBtnClick();
}

void TBtnBottomDlg::done(int result) {
    // An open drop-down is a window of its own and would outlive the dialog.
    ComboBox1->hidePopup();
    FormClose();
    QDialog::done(result);
}

void TBtnBottomDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
    FormShow();
}

bool TBtnBottomDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter and Escape on the dropped-down list belong to the list: Enter takes the
    // highlighted item into the box, Escape just closes the list. Qt closes the list while
    // it looks for shortcuts, then hands the same key press on to the dialog, where it
    // would mean OK or Cancel; keyPressEvent lets that one press go.
    if (watched == ComboBox1->view() && event->type() == QEvent::ShortcutOverride &&
        ComboBox1->view()->isVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            keyThatClosedTheList_ = key;
            QTimer::singleShot(0, this, [this] { keyThatClosedTheList_ = 0; });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TBtnBottomDlg::keyPressEvent(QKeyEvent* event) {
    if (keyThatClosedTheList_ != 0 && event->key() == keyThatClosedTheList_) {
        keyThatClosedTheList_ = 0;
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TBtnBottomDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

}  // namespace links
