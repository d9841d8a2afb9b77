#include "playlist_editor.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include "button_glyphs.h"
#include "platform/clipboard.h"
#include "platform/prompter.h"
#include "playlist_file.h"
#include "playlist_rules.h"

namespace playlist {

namespace {

// Where an item keeps the bytes it is written to a list file with: a list read from a
// file is saved back byte for byte, whatever its encoding.
constexpr int kItemBytesRole = Qt::UserRole;

constexpr int kClientWidth = 425;
constexpr int kClientHeight = 423;
constexpr int kListWidth = 190;
constexpr int kListHeight = 320;
constexpr int kGlyphButtonSize = 25;

const QColor kSilver(192, 192, 192);
const QColor kBlue(0, 0, 255);
const QColor kTeal(0, 128, 128);

// Every item is as wide as the scroll width, so a list scrolls sideways over that width
// and no further, however long its items are.
class ScrollWidthDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setWidth(int width) { width_ = width; }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return {width_ > 0 ? width_ : natural.width(), natural.height()};
    }

  private:
    int width_ = 0;  // 0: as wide as the item's text
};

QFont FormFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QColor& colour) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(QLatin1String(name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QToolButton* MakeGlyphButton(QWidget* parent, const char* name, Glyph glyph, const QString& hint,
                             int top) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(GlyphIcon(glyph));
    button->setIconSize({16, 16});
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry((kClientWidth - kGlyphButtonSize) / 2, top, kGlyphButtonSize,
                        kGlyphButtonSize);
    return button;
}

QPushButton* MakePanelButton(QFrame* panel, const char* name, const QString& caption,
                             const QString& hint, int place) {
    constexpr int kWidth = 85;
    constexpr int kGap = (kClientWidth - 4 * kWidth) / 5;
    auto* button = new QPushButton(caption, panel);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    // No default button: Enter never closes or saves.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(kGap + place * (kWidth + kGap), 12, kWidth, 27);
    return button;
}

QListWidget* MakeList(QWidget* parent, const char* name, int left) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setTextElideMode(Qt::ElideNone);
    list->setUniformItemSizes(true);
    list->setGeometry(left, 24, kListWidth, kListHeight);
    list->setItemDelegate(new ScrollWidthDelegate(list));
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, Qt::white);
    list->setPalette(palette);
    return list;
}

// Which rows are selected, read from the selection's ranges: asking each item costs a
// pass over all ranges per item.
std::vector<bool> selectedRows(const QListWidget* list) {
    std::vector<bool> rows(static_cast<std::size_t>(list->count()));
    for (const QItemSelectionRange& range : list->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows[static_cast<std::size_t>(row)] = true;
        }
    }
    return rows;
}

QByteArray BytesOf(const QListWidgetItem* item) {
    return item->data(kItemBytesRole).toByteArray();
}

}  // namespace

TTrksDlg::TTrksDlg(EditorServices services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TrksDlg"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(FormFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kSilver);
    palette.setColor(QPalette::Button, kSilver);
    setPalette(palette);
    setAutoFillBackground(true);

    buildControls();

    SaveDialog1.filter = QStringLiteral("Playlist (*.m3u);;Text file (*.txt);;All files (*)");
    SaveDialog1.defaultSuffix = QStringLiteral("m3u");
    SaveDialog1.directory = QStringLiteral(".");
    SaveDialog1.fileName = QStringLiteral("temp");
    SaveDialog1.confirmOverwrite = true;

    // Centred on the screen rather than over the main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

void TTrksDlg::buildControls() {
    QFont bold = FormFont();
    bold.setBold(true);
    SrcLabel = MakeLabel(this, "SrcLabel", tr("Available"), kBlue);
    SrcLabel->setFont(bold);
    SrcLabel->setGeometry(6, 4, kListWidth, 18);
    DstLabel = MakeLabel(this, "DstLabel", tr("Selected"), kBlue);
    DstLabel->setFont(bold);
    DstLabel->setGeometry(kClientWidth - 6 - kListWidth, 4, kListWidth, 18);

    SrcList = MakeList(this, "SrcList", 6);
    DstList = MakeList(this, "DstList", kClientWidth - 6 - kListWidth);

    IncludeBtn = MakeGlyphButton(this, "IncludeBtn", Glyph::Include, {}, 32);
    IncAllBtn = MakeGlyphButton(this, "IncAllBtn", Glyph::IncludeAll, {}, 62);
    ExcludeBtn = MakeGlyphButton(this, "ExcludeBtn", Glyph::Exclude, {}, 92);
    ExAllBtn = MakeGlyphButton(this, "ExAllBtn", Glyph::ExcludeAll, {}, 122);
    UpButton = MakeGlyphButton(this, "UpButton", Glyph::Up, tr("Move selected field up"), 170);
    DownButton =
        MakeGlyphButton(this, "DownButton", Glyph::Down, tr("Move selected field down"), 200);
    Up2Button =
        MakeGlyphButton(this, "Up2Button", Glyph::Top, tr("Move selected field to top"), 230);
    Down2Button = MakeGlyphButton(this, "Down2Button", Glyph::Bottom,
                                  tr("Move selected field to bottom"), 260);
    ButtonInverse = MakeGlyphButton(this, "ButtonInverse", Glyph::Invert,
                                    tr("Invert order of Selected items"), 308);

    Label1 = MakeLabel(this, "Label1", tr("Don't forget to Save your Selected list!"), kTeal);
    QFont italic = FormFont();
    italic.setItalic(true);
    Label1->setFont(italic);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setGeometry(6, 348, kClientWidth - 12, 20);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 372, kClientWidth, kClientHeight - 372);
    ButtonAdd =
        MakePanelButton(Panel1, "ButtonAdd", tr("Add"), tr("Add more files to Selected list"), 0);
    ButtonCopy = MakePanelButton(Panel1, "ButtonCopy", tr("Copy"),
                                 tr("Copy included items to Clipboard"), 1);
    BitBtn1 = MakePanelButton(Panel1, "BitBtn1", tr("Save"), tr("Save Selected list"), 2);
    QPalette blueCaption = BitBtn1->palette();
    blueCaption.setColor(QPalette::ButtonText, kBlue);
    BitBtn1->setPalette(blueCaption);
    CancelBtn = MakePanelButton(Panel1, "CancelBtn", tr("&Close"), tr("return to main screen"), 3);

    connect(IncludeBtn, &QToolButton::clicked, this, [this] { IncludeBtnClick(); });
    connect(IncAllBtn, &QToolButton::clicked, this, [this] { IncAllBtnClick(); });
    connect(ExcludeBtn, &QToolButton::clicked, this, [this] { ExcludeBtnClick(); });
    connect(ExAllBtn, &QToolButton::clicked, this, [this] { ExcAllBtnClick(); });
    for (QToolButton* button : {UpButton, DownButton, Up2Button, Down2Button}) {
        connect(button, &QToolButton::clicked, this, [this, button] { UpButtonClick(button); });
    }
    connect(ButtonInverse, &QToolButton::clicked, this, [this] { ButtonInverseClick(); });
    connect(ButtonAdd, &QPushButton::clicked, this, [this] { ButtonAddClick(); });
    connect(ButtonCopy, &QPushButton::clicked, this, [this] { ButtonCopyClick(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(SrcList, DstList);
    setTabOrder(DstList, ButtonAdd);
    setTabOrder(ButtonAdd, ButtonCopy);
    setTabOrder(ButtonCopy, BitBtn1);
    setTabOrder(BitBtn1, CancelBtn);
}

void TTrksDlg::setScrollWidth(int pixels) {
    scrollWidth_ = pixels;
    for (QListWidget* list : {SrcList, DstList}) {
        static_cast<ScrollWidthDelegate*>(list->itemDelegate())->setWidth(pixels);
        list->doItemsLayout();
    }
}

void TTrksDlg::appendItem(QListWidget* list, const QString& text, const QByteArray& bytes) {
    auto* item = new QListWidgetItem(text);
    item->setData(kItemBytesRole, bytes.isNull() ? ItemBytes(text) : bytes);
    list->addItem(item);
}

QStringList TTrksDlg::itemTexts(const QListWidget* list) const {
    QStringList texts;
    texts.reserve(list->count());
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

void TTrksDlg::IncludeBtnClick() {
    const int first = GetFirstSelection(SrcList);
    MoveSelected(SrcList, DstList);
    SetItem(SrcList, first);
}

void TTrksDlg::ExcludeBtnClick() {
    const int first = GetFirstSelection(DstList);
    MoveSelected(DstList, SrcList);
    SetItem(DstList, first);
}

void TTrksDlg::IncAllBtnClick() {
    while (SrcList->count() > 0) DstList->addItem(SrcList->takeItem(0));
    SetItem(SrcList, 0);
}

void TTrksDlg::ExcAllBtnClick() {
    while (DstList->count() > 0) SrcList->addItem(DstList->takeItem(0));
    SetItem(DstList, 0);
}

void TTrksDlg::MoveSelected(QListWidget* list, QListWidget* target) {
    const std::vector<bool> chosen = selectedRows(list);
    if (std::find(chosen.begin(), chosen.end(), true) == chosen.end()) return;
    // Taking items out of a scattered selection one by one costs a pass over the selection
    // per item: clear it, take every item from the end, and put back the ones that stay.
    list->clearSelection();
    std::vector<QListWidgetItem*> kept;
    for (int row = list->count() - 1; row >= 0; --row) {
        QListWidgetItem* item = list->takeItem(row);
        if (chosen[static_cast<std::size_t>(row)]) {
            target->addItem(item);
        } else {
            kept.push_back(item);
        }
    }
    for (auto item = kept.rbegin(); item != kept.rend(); ++item) list->addItem(*item);
}

int TTrksDlg::GetFirstSelection(const QListWidget* list) const {
    const std::vector<bool> chosen = selectedRows(list);
    const auto first = std::find(chosen.begin(), chosen.end(), true);
    return first == chosen.end() ? -1 : static_cast<int>(first - chosen.begin());
}

void TTrksDlg::SetItem(QListWidget* list, int index) {
    list->setFocus();
    if (list->count() > 0) {
        const int row = std::clamp(index, 0, list->count() - 1);
        list->setCurrentRow(row, QItemSelectionModel::Select);
    }
    SetButtons();
}

void TTrksDlg::SetButtons() {
    const bool available = SrcList->count() > 0;
    const bool selected = DstList->count() > 0;
    IncludeBtn->setEnabled(available);
    IncAllBtn->setEnabled(available);
    ExcludeBtn->setEnabled(selected);
    ExAllBtn->setEnabled(selected);
}

void TTrksDlg::UpButtonClick(QAbstractButton* sender) {
    if (DstList->count() == 0) {
        services_.prompter.error(tr("No output fields selected"));
        return;
    }
    const int last = DstList->count() - 1;
    // With no current item the list's focus mark stands on the first one.
    const int from = std::max(DstList->currentRow(), 0);
    int to = from;
    if (sender == UpButton) {
        if (from == 0) return;
        to = from - 1;
    } else if (sender == DownButton) {
        if (from == last) return;
        to = from + 1;
    } else if (sender == Up2Button) {
        to = 0;
    } else if (sender == Down2Button) {
        to = last;
    } else {
        return;
    }
    DstList->insertItem(to, DstList->takeItem(from));
    DstList->setCurrentRow(to, QItemSelectionModel::Select);
}

void TTrksDlg::ButtonInverseClick() {
    std::vector<QListWidgetItem*> reversed;
    reversed.reserve(static_cast<std::size_t>(DstList->count()));
    while (DstList->count() > 0) reversed.push_back(DstList->takeItem(DstList->count() - 1));
    for (QListWidgetItem* item : reversed) DstList->addItem(item);
    DstList->clearSelection();
}

bool TTrksDlg::listedIn(const QListWidget* list, const QString& path,
                        const SameFileName& same) const {
    for (int row = 0; row < list->count(); ++row) {
        if (same(list->item(row)->text(), path)) return true;
    }
    return false;
}

void TTrksDlg::ButtonAddClick() {
    const std::optional<QStringList> paths = services_.dialogs.openFileNames(this, OpenDialog1);
    if (!paths) return;
    const SameFileName same;
    for (const QString& path : *paths) {
        if (listedIn(SrcList, path, same)) {
            services_.prompter.error(tr("File ") + path + tr(" already in Available list"));
        } else if (listedIn(DstList, path, same)) {
            services_.prompter.error(tr("File ") + path + tr(" already in Selected list"));
        } else {
            appendItem(DstList, path);
        }
    }
    // The next Add starts where this one found its files.
    if (!paths->isEmpty()) OpenDialog1.directory = QFileInfo(paths->last()).absolutePath();
    SetButtons();
}

void TTrksDlg::ButtonCopyClick() {
    if (DstList->count() == 0) return;
    QString text;
    for (const QString& item : itemTexts(DstList)) text += item + QStringLiteral("\r\n");
    services_.clipboard.setText(text);
}

void TTrksDlg::BitBtn1Click() {
    if (DstList->count() == 0) {
        services_.prompter.error(tr("There are no items in your Selected list"));
        return;
    }
    const std::optional<QString> chosen = services_.dialogs.saveFileName(this, SaveDialog1);
    if (!chosen) return;
    const QString path =
        QFileInfo(WithDefaultSuffix(*chosen, SaveDialog1.defaultSuffix)).absoluteFilePath();
    SaveDialog1.fileName = path;

    Items items;
    items.reserve(static_cast<std::size_t>(DstList->count()));
    for (int row = 0; row < DstList->count(); ++row) {
        items.push_back(BytesOf(DstList->item(row)).toStdString());
    }
    try {
        writePlaylistFile(FileSystemPath(path), items);
    } catch (const PlaylistFileError& failure) {
        services_.prompter.error(QString::fromStdString(failure.what()));
        return;
    }

    const QString shownPath = QDir::toNativeSeparators(path);
    services_.clipboard.setText(shownPath + QStringLiteral("\r\n"));
    services_.prompter.message(tr("Selected list saved to ") + shownPath + u'\r' +
                               tr("Also, that file name was copied to Clipboard"));
}

void TTrksDlg::keyPressEvent(QKeyEvent* event) {
    // Only the Close button and the close box end the editor.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace playlist
