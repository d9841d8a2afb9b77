#include "entry_info_dialog.h"
#include <platform/form_style.h>

#include <algorithm>

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTextCursor>

#include <exception>

#include <data/memo.h>
#include <platform/help_pages.h>
#include <platform/prompter.h>
#include <platform/shell.h>
#include <platform/window_placement.h>

#include "address_module.h"
#include "address_rules.h"
#include "find_dialog.h"
#include "font_chooser.h"
#include "search_filter.h"

namespace info {
namespace {

using platform::pixelFont;
using platform::setTextColour;
using platform::kNavy;

// The window's size when it first opens, and the smallest it can be made.
constexpr int kClientWidth = 418;
constexpr int kClientHeight = 375;
// The memo box; the Find dialog is placed at the point its right edge and top give.
constexpr int kMemoLeft = 3;
constexpr int kMemoTop = 28;
constexpr int kMemoWidth = 410;
constexpr int kMemoHeight = 213;
constexpr int kValueLeft = 163;
// The Find dialog holds at most this much of the search text.
constexpr int kFindTextLimit = 255;

const QString kPlacementName = QStringLiteral("ExtendedWindow");

const QColor kAqua(0, 255, 255);
const QColor kYellow(255, 255, 0);


// A magnifying glass over a line of text, for the Find button.
QIcon findIcon() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(110, 110, 110), 2));
    for (int y = 6; y <= 26; y += 5) painter.drawLine(3, y, 18, y);
    painter.setPen(QPen(QColor(30, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(22, 22, 29, 29);
    painter.setPen(QPen(QColor(20, 40, 120), 2.5));
    painter.setBrush(QColor(200, 225, 255, 190));
    painter.drawEllipse(QPointF(17, 16), 8, 8);
    return QIcon(picture);
}

}  // namespace

int findForward(const QString& text, int from, const QString& wanted) {
    if (wanted.isEmpty() || from < 0 || from > text.size()) return -1;
    return static_cast<int>(store::upperAsciiLetters(text).indexOf(store::upperAsciiLetters(wanted),
                                                                   from, Qt::CaseSensitive));
}

QString notFoundMessage(const QString& wanted) {
    return QLatin1Char('"') + wanted + QStringLiteral("\" not found");
}

TInfo::TInfo(store::TDM& dataModule, platform::Prompter& prompter, platform::Shell& shell,
             FontChooser* fonts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      dataModule_(dataModule),
      prompter_(prompter),
      shell_(shell),
      fonts_(fonts) {
    if (fonts_ == nullptr) {
        ownFonts_ = std::make_unique<DesktopFontChooser>();
        fonts_ = ownFonts_.get();
    }
    setObjectName(QStringLiteral("Info"));
    setWindowTitle(QString::fromLatin1(kInfoCaption));
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    setFont(pixelFont("MS Sans Serif", 11));
    createControls();
    FormCreate();
    platform::restorePlacement(*this, kPlacementName);
}

TInfo::~TInfo() = default;

void TInfo::createControls() {
    const auto label = [this](const char* name, const QString& text, int left, int top) {
        auto* control = new QLabel(this);
        // Names and dates come from the table: never read as HTML.
        control->setTextFormat(Qt::PlainText);
        control->setText(text);
        control->setObjectName(QString::fromLatin1(name));
        control->move(left, top);
        control->adjustSize();
        return control;
    };
    const QFont valueFont = pixelFont("Arial", 15, true);

    NameLabel = label("NameLabel", QString(), 7, 7);
    NameLabel->setFont(valueFont);
    setTextColour(NameLabel, kNavy);

    Memo1 = new data::DBMemo(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(kMemoLeft, kMemoTop, kMemoWidth, kMemoHeight);
    Memo1->setFont(pixelFont("Arial", 15));
    Memo1->setWordWrap(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setDataField(QString::fromLatin1(store::kInfoField));
    // A refused character or an unreadable memo is told like every other failure.
    Memo1->showError = [this](const std::exception& failure) {
        prompter_.error(QString::fromUtf8(failure.what()));
    };
    Memo1->setDataSource(&dataModule_.dsAddress);

    Label1 = label("Label1", QStringLiteral("Entry last modified:"), 13, 245);
    DateLabel = label("DateLabel", QString(), kValueLeft, 245);
    DateLabel->setFont(valueFont);

    Panel1 = new QLabel(this);
    Panel1->setTextFormat(Qt::PlainText);
    Panel1->setText(QStringLiteral("Database:"));
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(7, 263, 406, 15);
    Panel1->setFont(pixelFont("Arial Rounded MT Bold", 15));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setAutoFillBackground(true);
    QPalette strip = Panel1->palette();
    strip.setColor(QPalette::Window, kAqua);
    strip.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(strip);

    Lupdate = label("Lupdate", QStringLiteral("Last update to ANY record:"), 13, 283);
    LupdateLabel = label("LupdateLabel", QString(), kValueLeft, 281);
    LupdateLabel->setFont(valueFont);
    Label3 = label("Label3", QStringLiteral("Total non-deleted records:"), 13, 300);
    AllCountLabel = label("AllCountLabel", QString(), kValueLeft, 299);
    AllCountLabel->setFont(pixelFont("MS Sans Serif", 15));
    IfFilterLabel =
        label("IfFilterLabel", QStringLiteral("Records meeting filter criteria:"), 13, 319);
    FilterLabel = label("FilterLabel", QString(), kValueLeft, 319);
    FilterLabel->setFont(valueFont);

    const auto button = [this](const char* name, const QString& caption, const QRect& place,
                               const QFont& font) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(place);
        control->setFont(font);
        control->setAutoDefault(false);
        return control;
    };
    ButtonFind = button("ButtonFind", QStringLiteral("Find"), QRect(12, 340, 80, 24),
                        pixelFont("Arial", 15, true));
    ButtonFind->setIcon(findIcon());
    ButtonFind->setIconSize(QSize(16, 16));
    ButtonFind->setToolTip(QStringLiteral("Search for text in memo"));

    ButtonFont = button("ButtonFont", QStringLiteral("Font"), QRect(97, 340, 76, 24),
                        pixelFont("Comic Sans MS", 17, true, true));
    setTextColour(ButtonFont, Qt::blue);
    ButtonFont->setToolTip(QStringLiteral("C;hange memo font size, color etcl"));

    const QFont buttonFont = pixelFont("MS Sans Serif", 11, true);
    BitBtn1 = button("BitBtn1", QStringLiteral("&Help"), QRect(284, 340, 60, 24), buttonFont);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    CloseButton =
        button("CloseButton", QStringLiteral("&Close"), QRect(352, 340, 61, 24), buttonFont);
    CloseButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    CloseButton->setToolTip(QStringLiteral("Return to opening screen"));
    // The stand-in faces draw wider: the two buttons grow leftwards from the window's edge
    // as far as their texts need, keeping the gap between them.
    const int gap = CloseButton->x() - (BitBtn1->x() + BitBtn1->width());
    for (QPushButton* growing : {CloseButton, BitBtn1}) {
        const int right = growing == CloseButton ? CloseButton->geometry().right()
                                                 : CloseButton->x() - gap - 1;
        const int width = std::max(growing->width(), platform::pushButtonTextWidth(*growing));
        growing->setGeometry(right + 1 - width, growing->y(), width, growing->height());
    }

    FindDialog1 = new FindDialog(this);

    // Panel1 takes no focus; the others follow it in this order, Close first.
    Panel1->setFocusPolicy(Qt::NoFocus);
    CloseButton->setFocus();
    setTabOrder(CloseButton, Memo1);
    setTabOrder(Memo1, BitBtn1);
    setTabOrder(BitBtn1, ButtonFind);
    setTabOrder(ButtonFind, ButtonFont);

    // Whatever sits below the memo moves down with the window's bottom edge; Help and
    // Close also follow its right edge.
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!control->isWindow() && control->y() >= kMemoTop + kMemoHeight)
            placesBelowMemo_.push_back({control, control->geometry()});
    }

    connect(ButtonFind, &QPushButton::clicked, this, [this] { ButtonFindClick(); });
    connect(ButtonFont, &QPushButton::clicked, this, [this] { ButtonFontClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
    connect(FindDialog1, &FindDialog::findNext, this, [this] { FindDialog1Find(); });
    connect(FindDialog1, &QDialog::finished, this, [this] { FindDialog1Close(); });
}

void TInfo::FormCreate() {
    // The selection stays as visible as with the focus, so a match found from the Find
    // dialog shows while that dialog is active.
    QPalette palette = Memo1->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    Memo1->setPalette(palette);
    FindDialog1->move(kMemoLeft + kMemoWidth, kMemoTop);
    centreOnScreen();
}

void TInfo::setUnwrappedMemoLook() {
    Memo1->setWordWrap(false);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, kYellow);
    Memo1->setPalette(palette);
}

void TInfo::centreOnScreen() {
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TInfo::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The memo takes what the window has beyond its first size.
    const int extraWidth = width() - kClientWidth;
    const int extraHeight = height() - kClientHeight;
    Memo1->setGeometry(kMemoLeft, kMemoTop, kMemoWidth + extraWidth, kMemoHeight + extraHeight);
    for (const auto& [control, place] : placesBelowMemo_) {
        const bool onTheRight = control == BitBtn1 || control == CloseButton;
        const QPoint to = place.topLeft() + QPoint(onTheRight ? extraWidth : 0, extraHeight);
        if (control == Panel1) {
            control->setGeometry(QRect(to, place.size() + QSize(extraWidth, 0)));
        } else {
            control->move(to);
        }
    }
}

void TInfo::done(int result) {
    platform::savePlacement(*this, kPlacementName);
    QDialog::done(result);
}

void TInfo::keyPressEvent(QKeyEvent* event) {
    // Enter presses the button that has the focus, as Space does. There is no default
    // button: Enter in the memo is the memo's own.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void TInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TInfo::FormShow() {
    data::DataSet& table = dataModule_.tblAddress;
    QString name;
    QDate lastDate;
    try {
        if (table.active()) {
            name = table.fieldByName(QString::fromLatin1(store::kNameField)).asString();
            lastDate = table.fieldByName(QString::fromLatin1(store::kLastDateField)).asDate();
        }
    } catch (const std::exception&) {
        // An entry that cannot be read shows no name and an empty date.
    }
    if (lastDate.isNull()) lastDate = QDate(kEmptyDateYear, kEmptyDateMonth, kEmptyDateDay);
    NameLabel->setText(name);
    DateLabel->setText(dataModule_.AdsSettings1.formatDate(lastDate));
    AllCountLabel->setText(QString::number(dataModule_.state().EntryCount));
    LupdateLabel->setText(table.lastUpdateText());

    const bool filtered = table.active() && table.filtered();
    if (filtered) {
        int count = 0;
        try {
            count = filterCount();
        } catch (const std::exception& failure) {
            prompter_.error(QString::fromUtf8(failure.what()));
        }
        FilterLabel->setText(QString::number(count));
    }
    IfFilterLabel->setVisible(filtered);
    FilterLabel->setVisible(filtered);
    for (QLabel* value : {NameLabel, DateLabel, AllCountLabel, LupdateLabel, FilterLabel})
        value->adjustSize();
}

int TInfo::filterCount() {
    data::DataSet& table = dataModule_.tblAddress;
    // The name-only search: what the engine counts through the expression.
    if (!table.filter().isEmpty()) return table.recordCount();
    // The name-and-memo search: the rows the grid lists, which the callback has decided.
    // Counted from the list rather than by walking the table, so nothing moves, and an
    // entry being inserted is neither saved nor counted.
    const int rows = table.visibleCount();
    return table.state() == data::DataSetState::Insert ? rows - 1 : rows;
}

void TInfo::ButtonFindClick() {
    if (FindDialog1->isVisible()) {
        FindDialog1->raise();
        FindDialog1->activateWindow();
        return;
    }
    FindDialog1->setFindText(dataModule_.state().SearchText.left(kFindTextLimit));
    FindDialog1->show();
}

void TInfo::FindDialog1Find() {
    const QString wanted = FindDialog1->findText();
    if (wanted.isEmpty()) return;
    const QString text = Memo1->toPlainText();
    QTextCursor cursor = Memo1->textCursor();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    const int found = findForward(text, start + length, wanted);
    if (found < 0) {
        prompter_.message(notFoundMessage(wanted));
        FindDialog1->close();
        return;
    }
    cursor.setPosition(found);
    cursor.setPosition(found + static_cast<int>(wanted.size()), QTextCursor::KeepAnchor);
    Memo1->setTextCursor(cursor);
    Memo1->setFocus();
}

void TInfo::FindDialog1Close() {
    Memo1->setFocus();
}

void TInfo::ButtonFontClick() {
    const FontChoice shown{Memo1->font(), Memo1->palette().color(QPalette::Text)};
    if (const std::optional<FontChoice> chosen = fonts_->chooseFont(shown, this)) {
        Memo1->setFont(chosen->font);
        QPalette palette = Memo1->palette();
        palette.setColor(QPalette::Text, chosen->colour);
        Memo1->setPalette(palette);
    }
}

void TInfo::BitBtn1Click() {
    shell_.openUrl(platform::helpPageUrl().toString());
}

void TInfo::CloseButtonClick() {
    accept();
}

}  // namespace info
