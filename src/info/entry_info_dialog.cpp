#include <info/entry_info_dialog.h>

#include <algorithm>

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStyle>
#include <QTextCursor>

#include <exception>

#include <data/memo.h>
#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/help_pages.h>
#include <platform/prompter.h>
#include <platform/shell.h>
#include <platform/window_placement.h>

#include <info/find_dialog.h>
#include <info/font_chooser.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include <store/search_filter.h>

namespace info {
namespace {

using platform::kNavy;
using platform::pixelFont;
using platform::plainLabel;
using platform::setTextColour;

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

// The selection stays as visible as with the focus, so a match found from the Find
// dialog shows while that dialog is active.
void keepSelectionVisibleWhenInactive(QWidget& memo) {
    QPalette palette = memo.palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    memo.setPalette(palette);
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

EntryInfoDialog::EntryInfoDialog(store::AddressModule& dataModule, platform::Prompter& prompter,
                                 platform::Shell& shell, FontChooser* fonts, QWidget* parent)
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
    keepSelectionVisibleWhenInactive(*memoEditor);
    findDialog->move(kMemoLeft + kMemoWidth, kMemoTop);
    platform::centreOnScreen(*this);
    platform::restorePlacement(*this, kPlacementName);
}

EntryInfoDialog::~EntryInfoDialog() = default;

void EntryInfoDialog::createControls() {
    const QFont valueFont = pixelFont("Arial", 15, true);

    nameLabel = plainLabel(this, "NameLabel", QString(), {7, 7});
    nameLabel->setFont(valueFont);
    setTextColour(nameLabel, kNavy);

    memoEditor = new data::DBMemo(this);
    memoEditor->setObjectName(QStringLiteral("Memo1"));
    memoEditor->setGeometry(kMemoLeft, kMemoTop, kMemoWidth, kMemoHeight);
    memoEditor->setFont(pixelFont("Arial", 15));
    memoEditor->setWordWrap(true);
    memoEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoEditor->setDataField(QString::fromLatin1(store::kInfoField));
    // A refused character or an unreadable memo is told like every other failure.
    memoEditor->showError = [this](const std::exception& failure) {
        prompter_.error(QString::fromUtf8(failure.what()));
    };
    memoEditor->setDataSource(&dataModule_.addressSource);

    lastChangeCaption =
        plainLabel(this, "Label1", QStringLiteral("Entry last modified:"), {13, 245});
    lastChangeLabel = plainLabel(this, "DateLabel", QString(), {kValueLeft, 245});
    lastChangeLabel->setFont(valueFont);

    databaseBanner = plainLabel(this, "Panel1", QStringLiteral("Database:"));
    databaseBanner->setGeometry(7, 263, 406, 15);
    databaseBanner->setFont(pixelFont("Arial Rounded MT Bold", 15));
    databaseBanner->setAlignment(Qt::AlignCenter);
    databaseBanner->setAutoFillBackground(true);
    QPalette strip = databaseBanner->palette();
    strip.setColor(QPalette::Window, kAqua);
    strip.setColor(QPalette::WindowText, Qt::black);
    databaseBanner->setPalette(strip);

    lastUpdateCaption =
        plainLabel(this, "Lupdate", QStringLiteral("Last update to ANY record:"), {13, 283});
    lastUpdateLabel = plainLabel(this, "LupdateLabel", QString(), {kValueLeft, 281});
    lastUpdateLabel->setFont(valueFont);
    entryCountCaption =
        plainLabel(this, "Label3", QStringLiteral("Total non-deleted records:"), {13, 300});
    entryCountLabel = plainLabel(this, "AllCountLabel", QString(), {kValueLeft, 299});
    entryCountLabel->setFont(pixelFont("MS Sans Serif", 15));
    filterCountCaption = plainLabel(this, "IfFilterLabel",
                                    QStringLiteral("Records meeting filter criteria:"), {13, 319});
    filterCountLabel = plainLabel(this, "FilterLabel", QString(), {kValueLeft, 319});
    filterCountLabel->setFont(valueFont);

    const auto button = [this](const char* name, const QString& caption, const QRect& place,
                               const QFont& font) {
        QPushButton* control = platform::pushButton(this, name, caption, place);
        control->setFont(font);
        control->setAutoDefault(false);
        return control;
    };
    findButton = button("ButtonFind", QStringLiteral("Find"), QRect(12, 340, 80, 24),
                        pixelFont("Arial", 15, true));
    findButton->setIcon(platform::formIcon(QStringLiteral("find")));
    findButton->setIconSize(QSize(16, 16));
    findButton->setToolTip(QStringLiteral("Search for text in memo"));

    fontButton = button("ButtonFont", QStringLiteral("Font"), QRect(97, 340, 76, 24),
                        pixelFont("Comic Sans MS", 17, true, true));
    setTextColour(fontButton, Qt::blue);
    fontButton->setToolTip(QStringLiteral("C;hange memo font size, color etcl"));

    const QFont buttonFont = pixelFont("MS Sans Serif", 11, true);
    helpButton = button("BitBtn1", QStringLiteral("&Help"), QRect(284, 340, 60, 24), buttonFont);
    helpButton->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    closeButton =
        button("CloseButton", QStringLiteral("&Close"), QRect(352, 340, 61, 24), buttonFont);
    closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    closeButton->setToolTip(QStringLiteral("Return to opening screen"));
    // The stand-in faces draw wider: the two buttons grow leftwards from the window's edge
    // as far as their texts need, keeping the gap between them.
    const int gap = closeButton->x() - (helpButton->x() + helpButton->width());
    for (QPushButton* growing : {closeButton, helpButton}) {
        const int right =
            growing == closeButton ? closeButton->geometry().right() : closeButton->x() - gap - 1;
        const int width = std::max(growing->width(), platform::pushButtonTextWidth(*growing));
        growing->setGeometry(right + 1 - width, growing->y(), width, growing->height());
    }

    findDialog = new FindDialog(this);

    // databaseBanner takes no focus; the others follow it in this order, Close first.
    databaseBanner->setFocusPolicy(Qt::NoFocus);
    closeButton->setFocus();
    setTabOrder(closeButton, memoEditor);
    setTabOrder(memoEditor, helpButton);
    setTabOrder(helpButton, findButton);
    setTabOrder(findButton, fontButton);

    // Whatever sits below the memo moves down with the window's bottom edge; Help and
    // Close also follow its right edge.
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!control->isWindow() && control->y() >= kMemoTop + kMemoHeight)
            placesBelowMemo_.push_back({control, control->geometry()});
    }

    connect(findButton, &QPushButton::clicked, this, [this] { openFindDialog(); });
    connect(fontButton, &QPushButton::clicked, this, [this] { chooseMemoFont(); });
    connect(helpButton, &QPushButton::clicked, this, [this] { showHelp(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { closeWindow(); });
    connect(findDialog, &FindDialog::findNext, this, [this] { findNextInMemo(); });
    connect(findDialog, &QDialog::finished, this, [this] { returnToMemo(); });
}

void EntryInfoDialog::setUnwrappedMemoLook() {
    memoEditor->setWordWrap(false);
    memoEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = memoEditor->palette();
    palette.setColor(QPalette::Base, kYellow);
    memoEditor->setPalette(palette);
}

void EntryInfoDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The memo takes what the window has beyond its first size.
    const int extraWidth = width() - kClientWidth;
    const int extraHeight = height() - kClientHeight;
    memoEditor->setGeometry(kMemoLeft, kMemoTop, kMemoWidth + extraWidth,
                            kMemoHeight + extraHeight);
    for (const auto& [control, place] : placesBelowMemo_) {
        const bool onTheRight = control == helpButton || control == closeButton;
        const QPoint to = place.topLeft() + QPoint(onTheRight ? extraWidth : 0, extraHeight);
        if (control == databaseBanner) {
            control->setGeometry(QRect(to, place.size() + QSize(extraWidth, 0)));
        } else {
            control->move(to);
        }
    }
}

void EntryInfoDialog::done(int result) {
    platform::savePlacement(*this, kPlacementName);
    QDialog::done(result);
}

void EntryInfoDialog::keyPressEvent(QKeyEvent* event) {
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

void EntryInfoDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) fillFromTable();
}

void EntryInfoDialog::fillFromTable() {
    data::DataSet& table = dataModule_.addressTable;
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
    nameLabel->setText(name);
    lastChangeLabel->setText(dataModule_.engineSettings.formatDate(lastDate));
    entryCountLabel->setText(QString::number(dataModule_.state().entryCount));
    lastUpdateLabel->setText(table.lastUpdateText());

    const bool filtered = table.active() && table.filtered();
    if (filtered) {
        int count = 0;
        try {
            count = countFilteredEntries();
        } catch (const std::exception& failure) {
            prompter_.error(QString::fromUtf8(failure.what()));
        }
        filterCountLabel->setText(QString::number(count));
    }
    filterCountCaption->setVisible(filtered);
    filterCountLabel->setVisible(filtered);
    for (QLabel* value :
         {nameLabel, lastChangeLabel, entryCountLabel, lastUpdateLabel, filterCountLabel})
        value->adjustSize();
}

int EntryInfoDialog::countFilteredEntries() {
    data::DataSet& table = dataModule_.addressTable;
    // The name-only search: what the engine counts through the expression.
    if (!table.filter().isEmpty()) return table.recordCount();
    // The name-and-memo search: the rows the grid lists, which the callback has decided.
    // Counted from the list rather than by walking the table, so nothing moves, and an
    // entry being inserted is neither saved nor counted.
    const int rows = table.visibleCount();
    return table.state() == data::DataSetState::Insert ? rows - 1 : rows;
}

void EntryInfoDialog::openFindDialog() {
    if (findDialog->isVisible()) {
        findDialog->raise();
        findDialog->activateWindow();
        return;
    }
    findDialog->setFindText(dataModule_.state().searchText.left(kFindTextLimit));
    findDialog->show();
}

void EntryInfoDialog::findNextInMemo() {
    const QString wanted = findDialog->findText();
    if (wanted.isEmpty()) return;
    const QString text = memoEditor->toPlainText();
    QTextCursor cursor = memoEditor->textCursor();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    const int found = findForward(text, start + length, wanted);
    if (found < 0) {
        prompter_.message(notFoundMessage(wanted));
        findDialog->close();
        return;
    }
    cursor.setPosition(found);
    cursor.setPosition(found + static_cast<int>(wanted.size()), QTextCursor::KeepAnchor);
    memoEditor->setTextCursor(cursor);
    memoEditor->setFocus();
}

void EntryInfoDialog::returnToMemo() {
    memoEditor->setFocus();
}

void EntryInfoDialog::chooseMemoFont() {
    const FontChoice shown{memoEditor->font(), memoEditor->palette().color(QPalette::Text)};
    if (const std::optional<FontChoice> chosen = fonts_->chooseFont(shown, this)) {
        memoEditor->setFont(chosen->font);
        QPalette palette = memoEditor->palette();
        palette.setColor(QPalette::Text, chosen->colour);
        memoEditor->setPalette(palette);
    }
}

void EntryInfoDialog::showHelp() {
    shell_.openUrl(platform::helpPageUrl().toString());
}

void EntryInfoDialog::closeWindow() {
    accept();
}

}  // namespace info
