#include <playlist/playlist_editor.h>

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>
#include <vector>

#include <platform/clipboard.h>
#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/prompter.h>
#include <playlist/playlist_file.h>
#include <playlist/playlist_rules.h>
#include "button_glyphs.h"

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

QFont formFont() {
    return platform::pixelFont(QStringLiteral("Arial"), 14);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QColor& colour) {
    QLabel* label = platform::plainLabel(parent, name, text);
    platform::setTextColour(label, colour);
    return label;
}

// The glyph buttons stand in one column down the middle, between the lists.
QToolButton* makeGlyphButton(QWidget* parent, const char* name, Glyph glyph, const QString& hint,
                             int top) {
    return platform::toolButton(
        parent, name, glyphIcon(glyph), QSize(16, 16), hint,
        QRect((kClientWidth - kGlyphButtonSize) / 2, top, kGlyphButtonSize, kGlyphButtonSize));
}

// The four buttons of the panel, `place` 0 to 3 from the left, evenly spaced.
QPushButton* makePanelButton(QFrame* panel, const char* name, const QString& caption,
                             const QString& hint, int place) {
    constexpr int kWidth = 85;
    constexpr int kGap = (kClientWidth - 4 * kWidth) / 5;
    QPushButton* button = platform::pushButton(
        panel, name, caption, QRect(kGap + place * (kWidth + kGap), 12, kWidth, 27));
    button->setToolTip(hint);
    // No default button: Enter never closes or saves.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QListWidget* makeList(QWidget* parent, const char* name, int left) {
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

QByteArray bytesOf(const QListWidgetItem* item) {
    return item->data(kItemBytesRole).toByteArray();
}

}  // namespace

PlaylistEditor::PlaylistEditor(EditorServices services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TrksDlg"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(formFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kSilver);
    palette.setColor(QPalette::Button, kSilver);
    setPalette(palette);
    setAutoFillBackground(true);

    buildControls();

    saveDialog.filter = QStringLiteral("Playlist (*.m3u);;Text file (*.txt);;All files (*)");
    saveDialog.defaultSuffix = QStringLiteral("m3u");
    saveDialog.directory = QStringLiteral(".");
    saveDialog.fileName = QStringLiteral("temp");
    saveDialog.confirmOverwrite = true;

    // Centred on the screen rather than over the main window.
    platform::centreOnScreen(*this);
}

void PlaylistEditor::buildControls() {
    QFont bold = formFont();
    bold.setBold(true);
    availableCaption = makeLabel(this, "SrcLabel", tr("Available"), kBlue);
    availableCaption->setFont(bold);
    availableCaption->setGeometry(6, 4, kListWidth, 18);
    selectedCaption = makeLabel(this, "DstLabel", tr("Selected"), kBlue);
    selectedCaption->setFont(bold);
    selectedCaption->setGeometry(kClientWidth - 6 - kListWidth, 4, kListWidth, 18);

    availableList = makeList(this, "SrcList", 6);
    selectedList = makeList(this, "DstList", kClientWidth - 6 - kListWidth);

    includeButton = makeGlyphButton(this, "IncludeBtn", Glyph::Include, {}, 32);
    includeAllButton = makeGlyphButton(this, "IncAllBtn", Glyph::IncludeAll, {}, 62);
    excludeButton = makeGlyphButton(this, "ExcludeBtn", Glyph::Exclude, {}, 92);
    excludeAllButton = makeGlyphButton(this, "ExAllBtn", Glyph::ExcludeAll, {}, 122);
    moveUpButton = makeGlyphButton(this, "UpButton", Glyph::Up, tr("Move selected field up"), 170);
    moveDownButton =
        makeGlyphButton(this, "DownButton", Glyph::Down, tr("Move selected field down"), 200);
    moveToTopButton =
        makeGlyphButton(this, "Up2Button", Glyph::Top, tr("Move selected field to top"), 230);
    moveToBottomButton = makeGlyphButton(this, "Down2Button", Glyph::Bottom,
                                         tr("Move selected field to bottom"), 260);
    invertButton = makeGlyphButton(this, "ButtonInverse", Glyph::Invert,
                                   tr("Invert order of Selected items"), 308);

    saveReminder = makeLabel(this, "Label1", tr("Don't forget to Save your Selected list!"), kTeal);
    QFont italic = formFont();
    italic.setItalic(true);
    saveReminder->setFont(italic);
    saveReminder->setAlignment(Qt::AlignCenter);
    saveReminder->setGeometry(6, 348, kClientWidth - 12, 20);

    buttonPanel = new QFrame(this);
    buttonPanel->setObjectName(QStringLiteral("Panel1"));
    buttonPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    buttonPanel->setGeometry(0, 372, kClientWidth, kClientHeight - 372);
    addButton = makePanelButton(buttonPanel, "ButtonAdd", tr("Add"),
                                tr("Add more files to Selected list"), 0);
    copyButton = makePanelButton(buttonPanel, "ButtonCopy", tr("Copy"),
                                 tr("Copy included items to Clipboard"), 1);
    saveButton = makePanelButton(buttonPanel, "BitBtn1", tr("Save"), tr("Save Selected list"), 2);
    QPalette blueCaption = saveButton->palette();
    blueCaption.setColor(QPalette::ButtonText, kBlue);
    saveButton->setPalette(blueCaption);
    closeButton =
        makePanelButton(buttonPanel, "CancelBtn", tr("&Close"), tr("return to main screen"), 3);

    connect(includeButton, &QToolButton::clicked, this, [this] { includeSelected(); });
    connect(includeAllButton, &QToolButton::clicked, this, [this] { includeAll(); });
    connect(excludeButton, &QToolButton::clicked, this, [this] { excludeSelected(); });
    connect(excludeAllButton, &QToolButton::clicked, this, [this] { excludeAll(); });
    for (QToolButton* button :
         {moveUpButton, moveDownButton, moveToTopButton, moveToBottomButton}) {
        connect(button, &QToolButton::clicked, this, [this, button] { moveCurrentItem(button); });
    }
    connect(invertButton, &QToolButton::clicked, this, [this] { invertOrder(); });
    connect(addButton, &QPushButton::clicked, this, [this] { addFiles(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveList(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(availableList, selectedList);
    setTabOrder(selectedList, addButton);
    setTabOrder(addButton, copyButton);
    setTabOrder(copyButton, saveButton);
    setTabOrder(saveButton, closeButton);
}

void PlaylistEditor::setScrollWidth(int pixels) {
    scrollWidth_ = pixels;
    for (QListWidget* list : {availableList, selectedList}) {
        static_cast<ScrollWidthDelegate*>(list->itemDelegate())->setWidth(pixels);
        list->doItemsLayout();
    }
}

void PlaylistEditor::appendItem(QListWidget* list, const QString& text, const QByteArray& bytes) {
    auto* item = new QListWidgetItem(text);
    item->setData(kItemBytesRole, bytes.isNull() ? itemBytes(text) : bytes);
    list->addItem(item);
}

QStringList PlaylistEditor::itemTexts(const QListWidget* list) const {
    QStringList texts;
    texts.reserve(list->count());
    for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
    return texts;
}

void PlaylistEditor::includeSelected() {
    const int first = firstSelectedRow(availableList);
    moveSelected(availableList, selectedList);
    selectNear(availableList, first);
}

void PlaylistEditor::excludeSelected() {
    const int first = firstSelectedRow(selectedList);
    moveSelected(selectedList, availableList);
    selectNear(selectedList, first);
}

void PlaylistEditor::includeAll() {
    while (availableList->count() > 0) selectedList->addItem(availableList->takeItem(0));
    selectNear(availableList, 0);
}

void PlaylistEditor::excludeAll() {
    while (selectedList->count() > 0) availableList->addItem(selectedList->takeItem(0));
    selectNear(selectedList, 0);
}

void PlaylistEditor::moveSelected(QListWidget* list, QListWidget* target) {
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

int PlaylistEditor::firstSelectedRow(const QListWidget* list) const {
    const std::vector<bool> chosen = selectedRows(list);
    const auto first = std::find(chosen.begin(), chosen.end(), true);
    return first == chosen.end() ? -1 : static_cast<int>(first - chosen.begin());
}

void PlaylistEditor::selectNear(QListWidget* list, int index) {
    list->setFocus();
    if (list->count() > 0) {
        const int row = std::clamp(index, 0, list->count() - 1);
        list->setCurrentRow(row, QItemSelectionModel::Select);
    }
    updateMoveButtons();
}

void PlaylistEditor::updateMoveButtons() {
    const bool available = availableList->count() > 0;
    const bool selected = selectedList->count() > 0;
    includeButton->setEnabled(available);
    includeAllButton->setEnabled(available);
    excludeButton->setEnabled(selected);
    excludeAllButton->setEnabled(selected);
}

void PlaylistEditor::moveCurrentItem(QAbstractButton* sender) {
    if (selectedList->count() == 0) {
        services_.prompter.error(tr("No output fields selected"));
        return;
    }
    const int last = selectedList->count() - 1;
    // With no current item the list's focus mark stands on the first one.
    const int from = std::max(selectedList->currentRow(), 0);
    int to = from;
    if (sender == moveUpButton) {
        if (from == 0) return;
        to = from - 1;
    } else if (sender == moveDownButton) {
        if (from == last) return;
        to = from + 1;
    } else if (sender == moveToTopButton) {
        to = 0;
    } else if (sender == moveToBottomButton) {
        to = last;
    } else {
        return;
    }
    selectedList->insertItem(to, selectedList->takeItem(from));
    selectedList->setCurrentRow(to, QItemSelectionModel::Select);
}

void PlaylistEditor::invertOrder() {
    std::vector<QListWidgetItem*> reversed;
    reversed.reserve(static_cast<std::size_t>(selectedList->count()));
    while (selectedList->count() > 0)
        reversed.push_back(selectedList->takeItem(selectedList->count() - 1));
    for (QListWidgetItem* item : reversed) selectedList->addItem(item);
    selectedList->clearSelection();
}

bool PlaylistEditor::listedIn(const QListWidget* list, const QString& path,
                              const SameFileName& same) const {
    for (int row = 0; row < list->count(); ++row) {
        if (same(list->item(row)->text(), path)) return true;
    }
    return false;
}

void PlaylistEditor::addFiles() {
    const std::optional<QStringList> paths = services_.dialogs.openFileNames(this, addDialog);
    if (!paths) return;
    const SameFileName same;
    for (const QString& path : *paths) {
        if (listedIn(availableList, path, same)) {
            services_.prompter.error(tr("File ") + path + tr(" already in Available list"));
        } else if (listedIn(selectedList, path, same)) {
            services_.prompter.error(tr("File ") + path + tr(" already in Selected list"));
        } else {
            appendItem(selectedList, path);
        }
    }
    // The next Add starts where this one found its files.
    if (!paths->isEmpty()) addDialog.directory = QFileInfo(paths->last()).absolutePath();
    updateMoveButtons();
}

void PlaylistEditor::copyToClipboard() {
    if (selectedList->count() == 0) return;
    QString text;
    for (const QString& item : itemTexts(selectedList)) text += item + QStringLiteral("\r\n");
    services_.clipboard.setText(text);
}

void PlaylistEditor::saveList() {
    if (selectedList->count() == 0) {
        services_.prompter.error(tr("There are no items in your Selected list"));
        return;
    }
    const std::optional<QString> chosen = services_.dialogs.saveFileName(this, saveDialog);
    if (!chosen) return;
    const QString path =
        QFileInfo(withDefaultSuffix(*chosen, saveDialog.defaultSuffix)).absoluteFilePath();
    saveDialog.fileName = path;

    Items items;
    items.reserve(static_cast<std::size_t>(selectedList->count()));
    for (int row = 0; row < selectedList->count(); ++row) {
        items.push_back(bytesOf(selectedList->item(row)).toStdString());
    }
    try {
        writePlaylistFile(fileSystemPath(path), items);
    } catch (const PlaylistFileError& failure) {
        services_.prompter.error(QString::fromStdString(failure.what()));
        return;
    }

    const QString shownPath = QDir::toNativeSeparators(path);
    services_.clipboard.setText(shownPath + QStringLiteral("\r\n"));
    services_.prompter.message(tr("Selected list saved to ") + shownPath + u'\r' +
                               tr("Also, that file name was copied to Clipboard"));
}

void PlaylistEditor::keyPressEvent(QKeyEvent* event) {
    // Only the Close button and the close box end the editor.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace playlist
