#include "main_window.h"
#include <platform/form_style.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <vector>

#include <data/grid.h>
#include <data/memo.h>
#include <data/navigator.h>
#include <platform/clipboard.h>
#include <platform/help_pages.h>
#include <platform/prompter.h>
#include <platform/shell.h>
#include <platform/window_placement.h>
#include <xbase/cursor.h>

#include "address_entry.h"
#include "address_rules.h"
#include "entry_info_dialog.h"
#include "item_chooser.h"
#include "link_actions.h"
#include "maintenance.h"
#include "name_exchange.h"
#include "playlist_command.h"
#include "report_command.h"
#include "startup.h"

// Resources live in this static library; the linker keeps them only when asked.
static void initResources() {
    Q_INIT_RESOURCE(cardhold);
}

namespace app {

namespace {

using platform::pixelFont;
using platform::kMaroon;

// The window's first size, and the smallest it can be made.
constexpr int kClientWidth = 351;
constexpr int kClientHeight = 377;
constexpr int kToolbarHeight = 41;
constexpr int kButtonSize = 25;
constexpr int kButtonTop = 6;
constexpr int kShopHeight = 64;
// The controls' places at that size; a larger window stretches the grid and the memo.
constexpr QRect kGridPlace(30, 40, 290, 147);
constexpr QRect kMemoPlace(2, 190, 348, 94);
constexpr QRect kNavigatorPlace(12, 288, 198, 19);
constexpr QRect kWrapBoxPlace(222, 291, 97, 14);
constexpr int kNameColumnWidth = 353;
constexpr int kShopRows = 3;
constexpr int kShopTop = 15;
constexpr int kShopRowHeight = 16;
const QString kPlacementName = QStringLiteral("MainWindow");
std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

void setMemoLook(QPlainTextEdit& memo, bool wrapping, const QColor& background) {
    memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo.setHorizontalScrollBarPolicy(wrapping ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    QPalette palette = memo.palette();
    palette.setColor(QPalette::Base, background);
    memo.setPalette(palette);
}

}  // namespace

TZiDuv::TZiDuv(Services services, StartupOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      services_(services),
      options_(std::move(options)) {
    initResources();
    setObjectName(QStringLiteral("ZiDuv"));
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    setFont(pixelFont(QStringLiteral("Arial"), 10, true));
    setWindowIcon(QIcon(QStringLiteral(":/icons/cardhold.png")));

    createToolbar();
    createEditors();
    createShop();
    setTabOrder(DexGrid, DBMemo1);
    setTabOrder(DBMemo1, DBNavigator1);
    setTabOrder(DBNavigator1, WrapButton);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    platform::restorePlacement(*this, kPlacementName);
    FormCreate();
}

TZiDuv::~TZiDuv() = default;

QToolButton* TZiDuv::toolButton(const char* name, int left, const char* hint, const char* picture,
                                bool withDisabledPicture) {
    auto* button = new QToolButton(Panel1);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, kButtonTop, kButtonSize, kButtonSize);
    button->setToolTip(QString::fromLatin1(hint));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(20, 20));
    QIcon icon;
    const QString base = QStringLiteral(":/icons/") + QString::fromLatin1(picture);
    icon.addFile(base + QStringLiteral(".png"), QSize(), QIcon::Normal);
    icon.addFile(base + QStringLiteral("@2x.png"), QSize(), QIcon::Normal);
    if (withDisabledPicture) {
        icon.addFile(base + QStringLiteral("-disabled.png"), QSize(), QIcon::Disabled);
        icon.addFile(base + QStringLiteral("-disabled@2x.png"), QSize(), QIcon::Disabled);
    }
    button->setIcon(icon);
    return button;
}

void TZiDuv::createToolbar() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, kToolbarHeight);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);

    SpeedPhone = toolButton("SpeedPhone", 2, "Dial Phone Number", "phone");
    email = toolButton("email", 29, "Send  e-mail", "email");
    URL = toolButton("URL", 56, "Visit  Website", "web");
    SpeedButton2 =
        toolButton("SpeedButton2", 83, "Open file with default application", "open-file");
    TrackView = toolButton("TrackView", 109, "Create/Edit Media Playlist", "playlist", false);
    FindSpeed = toolButton("FindSpeed", 136, "Search (Set Filter)", "find");
    NoFilterSpeed = toolButton("NoFilterSpeed", 163, "Cancel Filter", "no-filter");
    ClipSpeed = toolButton("ClipSpeed", 190, "Copy between Name field and Windows Clipboard",
                           "clipboard", false);
    InfoSpeed = toolButton("InfoSpeed", 217, "More Information", "info");
    InfoSpeed->move(217, kButtonTop - 1);
    ButtonNatural = toolButton("ButtonNatural", 244,
                               "show entries in order entered (Natural Order)", "natural-order");
    ButtonAlpha = toolButton("ButtonAlpha", 244, "return to Alphabetical order", "alpha-order");
    buttonRW = toolButton("buttonRW", 270, "Report Writer", "report");
    ToolsSpeed =
        toolButton("ToolsSpeed", 297, "Pack, Reindex and optionally Archive database", "tools");
    HelpSpeed = toolButton("HelpSpeed", 324, "On-line Help", "help");

    NoFilterSpeed->setEnabled(false);
    ButtonAlpha->hide();

    connect(SpeedPhone, &QToolButton::clicked, this, [this] { SpeedPhoneClick(); });
    connect(email, &QToolButton::clicked, this, [this] { emailClick(); });
    connect(URL, &QToolButton::clicked, this, [this] { URLClick(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(TrackView, &QToolButton::clicked, this, [this] { TrackViewClick(); });
    connect(ClipSpeed, &QToolButton::clicked, this, [this] { ClipSpeedClick(); });
    connect(FindSpeed, &QToolButton::clicked, this, [this] { FindSpeedClick(); });
    connect(NoFilterSpeed, &QToolButton::clicked, this, [this] { NoFilterSpeedClick(); });
    connect(InfoSpeed, &QToolButton::clicked, this, [this] { InfoSpeedClick(); });
    connect(HelpSpeed, &QToolButton::clicked, this, [this] { HelpSpeedClick(); });
    connect(ButtonNatural, &QToolButton::clicked, this, [this] { ButtonNaturalClick(); });
    connect(ButtonAlpha, &QToolButton::clicked, this, [this] { ButtonAlphaClick(); });
    connect(buttonRW, &QToolButton::clicked, this, [this] { buttonRWClick(); });
    connect(ToolsSpeed, &QToolButton::clicked, this, [this] { ToolsSpeedClick(); });
}

void TZiDuv::createEditors() {
    const auto confirmDelete = [this](const QString& question) {
        return services_.prompter.confirm(question, platform::ButtonSet::OkCancel) ==
               platform::Answer::Ok;
    };
    const auto showError = [this](const std::exception& failure) {
        services_.prompter.error(failureText(failure));
    };

    DexGrid = new data::DBGrid(this);
    DexGrid->setObjectName(QStringLiteral("DexGrid"));
    DexGrid->setGeometry(kGridPlace);
    DexGrid->setFont(pixelFont(QStringLiteral("Courier New"), 13, true));
    DexGrid->setColumns({QString::fromLatin1(store::kNameField)});
    DexGrid->horizontalHeader()->hide();
    DexGrid->setColumnWidth(0, kNameColumnWidth);
    nameColumnWidth_ = kNameColumnWidth;
    DexGrid->viewport()->installEventFilter(this);
    DexGrid->setShowGrid(true);
    DexGrid->confirmDelete = confirmDelete;
    DexGrid->showError = showError;
    connect(DexGrid, &data::DBGrid::keyTyped, this,
            [this](QChar key) { DexGridKeyPress(DexGrid, key); });
    connect(DexGrid, &data::DBGrid::areaDoubleClicked, this, [this] { InfoSpeedClick(); });

    DBMemo1 = new data::DBMemo(this);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(kMemoPlace);
    DBMemo1->setFont(pixelFont(QStringLiteral("Arial"), 13));
    DBMemo1->setDataField(QString::fromLatin1(store::kInfoField));
    DBMemo1->showError = showError;
    DBMemo1->setWordWrap(true);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DBMemo1->viewport()->installEventFilter(this);
    connect(DBMemo1, &data::DBMemo::keyTyped, this,
            [this](QChar key) { DexGridKeyPress(DBMemo1, key); });
    connect(DBMemo1, &data::DBMemo::exited, this, [this] { DBMemo1Exit(); });

    DBNavigator1 = new data::DBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(kNavigatorPlace);
    DBNavigator1->confirmDelete = confirmDelete;
    DBNavigator1->showError = showError;

    WrapButton = new QCheckBox(QStringLiteral("Word Wrap"), this);
    WrapButton->setObjectName(QStringLiteral("WrapButton"));
    WrapButton->setGeometry(kWrapBoxPlace);
    WrapButton->setFont(pixelFont(QStringLiteral("Arial"), 13));
    WrapButton->setToolTip(QStringLiteral("Word wrap memo (note)?"));
    WrapButton->setChecked(true);
    connect(WrapButton, &QCheckBox::clicked, this, [this] { WrapButtonClick(); });

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->hide();
}

void TZiDuv::createShop() {
    Shop = new QGroupBox(QString::fromLatin1(shop::kShopCaption.data(), shop::kShopCaption.size()),
                         this);
    Shop->setObjectName(QStringLiteral("Shop"));
    Shop->setGeometry(0, kClientHeight - kShopHeight, kClientWidth, kShopHeight);
    Shop->setFlat(true);
    Shop->setAutoFillBackground(true);
    const QFont font = pixelFont(QStringLiteral("Arial"), 11);
    Shop->setFont(font);
    QPalette palette = Shop->palette();
    palette.setColor(QPalette::Window, kMaroon);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    Shop->setPalette(palette);

    ShopItems = new QButtonGroup(Shop);
    ShopItems->setObjectName(QStringLiteral("ShopItems"));
    for (int index = 0; index < static_cast<int>(shop::kShopItems.size()); ++index) {
        const std::string_view caption = shop::kShopItems[static_cast<std::size_t>(index)];
        auto* item = new QRadioButton(
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())), Shop);
        item->setObjectName(QStringLiteral("ShopItem%1").arg(index));
        item->setFont(font);
        item->setPalette(palette);
        ShopItems->addButton(item, index);
    }
    placeShopItems();
    connect(ShopItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) ShopClick();
    });
}

void TZiDuv::placeShopItems() {
    // Three to a column, each column as wide as its longest item and the room left over
    // shared out evenly: the stand-in faces draw some items wider than a quarter of the row.
    std::vector<int> columnNeeds(static_cast<std::size_t>(shop::kShopColumns), 0);
    for (QAbstractButton* item : ShopItems->buttons()) {
        int& need = columnNeeds[static_cast<std::size_t>(ShopItems->id(item) / kShopRows)];
        need = std::max(need, item->sizeHint().width());
    }
    int needed = 0;
    for (const int need : columnNeeds) needed += need;
    const int spare = std::max(0, (Shop->width() - 4 - needed) / shop::kShopColumns);
    std::vector<int> columnLefts;
    int left = 2;
    for (const int need : columnNeeds) {
        columnLefts.push_back(left);
        left += need + spare;
    }
    for (QAbstractButton* item : ShopItems->buttons()) {
        const int index = ShopItems->id(item);
        const auto column = static_cast<std::size_t>(index / kShopRows);
        item->setGeometry(columnLefts[column], kShopTop + (index % kShopRows) * kShopRowHeight,
                          columnNeeds[column] + spare, kShopRowHeight);
    }
}

void TZiDuv::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (Shop == nullptr) return;
    // What the window has beyond its first size goes to the grid and the memo, the grid
    // taking the larger share of the height; the rest keeps its place against its edges.
    const int extraWidth = width() - kClientWidth;
    const int extraHeight = height() - kClientHeight;
    const int gridShare = extraHeight * 2 / 3;
    Panel1->setGeometry(0, 0, width(), kToolbarHeight);
    DexGrid->setGeometry(kGridPlace.adjusted(0, 0, extraWidth, gridShare));
    DBMemo1->setGeometry(kMemoPlace.adjusted(0, gridShare, extraWidth, extraHeight));
    DBNavigator1->move(kNavigatorPlace.topLeft() + QPoint(0, extraHeight));
    WrapButton->move(kWrapBoxPlace.topLeft() + QPoint(extraWidth, extraHeight));
    Shop->setGeometry(0, height() - kShopHeight, width(), kShopHeight);
    placeShopItems();
}

void TZiDuv::setDataModule(store::TDM& dataModule) {
    DM_ = &dataModule;
    DexGrid->setDataSource(&dataModule.dsAddress);
    DBMemo1->setDataSource(&dataModule.dsAddress);
    DBNavigator1->setDataSource(&dataModule.dsAddress);
    dataModule.focusNameGrid = [this] { DexGrid->setFocus(); };
}

void TZiDuv::FormCreate() {
    state.FirstShow = true;
    state.SearchText.clear();
    ButtonAlpha->move(ButtonNatural->pos());
}

void TZiDuv::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The start-up runs once the window is up, so that its messages sit over it.
    if (!event->spontaneous() && state.FirstShow && !startupQueued_) {
        startupQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                startupQueued_ = false;
                FormShow();
            },
            Qt::QueuedConnection);
    }
}

void TZiDuv::endProgram() {
    endedByStartup_ = true;
    close();
}

void TZiDuv::FormShow() {
    if (!state.FirstShow) return;
    platform::Prompter& prompter = services_.prompter;
    const QStringList& arguments = options_.arguments;
    if (arguments.size() > 1) {
        setWindowTitle(composeTitle(QStringList()));
        prompter.message(QString::fromLatin1(kTooManyParameters) +
                         platform::helpPageUrl().toString());
        endProgram();
        return;
    }
    if (!settleDataFolder()) {
        endProgram();
        return;
    }
    setWindowTitle(composeTitle(arguments));
    if (DM_ == nullptr) return;
    if (!guarded([this] { openAddressTable(); })) return;
    state.FirstShow = false;
}

bool TZiDuv::settleDataFolder() {
    QString folder = options_.currentFolder;
    if (options_.arguments.size() == 1) {
        const QString& argument = options_.arguments.front();
        setWindowTitle(composeTitle(options_.arguments));
        folder = dataFolderPath(options_.currentFolder, argument);
        if (!QFileInfo(folder).isDir()) {
            if (!QDir().mkdir(folder)) {
                services_.prompter.warning(QString::fromLatin1(kCannotCreateDirectory) + argument);
                return false;
            }
            services_.prompter.information(QString::fromLatin1(kNewDirectory) + folder +
                                           QString::fromLatin1(kDirectoryCreated));
        }
    }
    if (DM_ != nullptr) {
        // A start-up that failed before may have left the table open.
        DM_->tblAddress.close();
        DM_->AdsSettings1.DefaultFolder = folder;
        DM_->setDataFolder(folder);
    }
    return true;
}

void TZiDuv::openAddressTable() {
    data::DataSet& table = DM_->tblAddress;
    const QString folder = DM_->dataFolder();
    const std::filesystem::path folderPath = toPath(folder);
    if (!xbase::tableExists(folderPath, store::kTableFileName)) {
        removeFilesIgnoringCase(folder, {QString::fromLatin1(store::kIndexFileName),
                                         QString::fromLatin1(store::kMemoFileName)});
        xbase::createTable(toPath(DM_->AdsSettings1.DefaultFolder) / store::kTableFileName,
                           xbase::parseFieldList(store::kFieldList));
    }
    if (!xbase::tableExists(folderPath, store::kIndexFileName)) {
        table.close();
        table.setExclusive(true);
        table.setIndexName(QString());
        table.open();
        table.cursor().createIndex(store::kTagName, store::kKeyExpression);
        table.setIndexName(QStringLiteral("ADDRESS"));
        DM_->PackAddressTable();
        table.first();
    }
    table.close();
    table.setExclusive(false);
    table.setIndexName(QStringLiteral("ADDRESS"));
    table.open();
    DM_->tblFilter.setExclusive(false);
    state.EntryCount = table.recordCount();
}

void TZiDuv::DexGridKeyPress(QObject*, QChar& key) {
    if (DM_ == nullptr || DM_->tblAddress.state() != data::DataSetState::Browse) return;
    const char16_t code = key.unicode();
    if (code < 32 || code > 126) return;
    const QChar wanted = code >= u'a' && code <= u'z' ? QChar(code - u'a' + u'A') : key;
    guarded([&] {
        DM_->tblAddress.findNearest(QString(wanted));
        DexGrid->setFocus();
    });
}

void TZiDuv::DBMemo1Exit() {
    DexGrid->setFocus();
}

void TZiDuv::InfoSpeedClick() {
    if (DM_ == nullptr) return;
    info::TInfo Info(*DM_, services_.prompter, services_.shell, nullptr, this);
    if (!DBMemo1->wordWrap()) Info.setUnwrappedMemoLook();
    Info.exec();
}

void TZiDuv::FindSpeedClick() {
    if (DM_ == nullptr || BtnBottomDlg == nullptr) return;
    state.Tag = 0;
    links::TBtnBottomDlg& dialog = *BtnBottomDlg;
    dialog.Tag = 0;
    dialog.setWindowTitle(QString::fromLatin1(store::kSearchCaption));
    dialog.Edit1->setEnabled(true);
    dialog.Edit1->clear();
    dialog.Edit1->show();
    dialog.ComboBox1->setEnabled(false);
    dialog.ComboBox1->hide();
    dialog.CheckAll->setText(QString::fromLatin1(store::kIncludeMemoCaption));
    dialog.CheckAll->setToolTip(QString::fromLatin1(store::kIncludeMemoHint));
    dialog.CheckAll->setChecked(true);
    dialog.CheckAll->show();
    dialog.Edit1->setFocus();
    dialog.exec();
    if (dialog.Tag == links::kChooserRefused) return;

    // While the filter is applied the grid is away from its data and does not paint.
    const store::SearchDisplay display{[this] {
                                           DM_->tblAddress.disableControls();
                                           DexGrid->setUpdatesEnabled(false);
                                           DexGrid->setDataSource(nullptr);
                                       },
                                       [this] {
                                           DexGrid->setDataSource(&DM_->dsAddress);
                                           DexGrid->setUpdatesEnabled(true);
                                           DexGrid->repaint();
                                           DM_->tblAddress.enableControls();
                                       }};
    guarded([&] {
        if (DM_->search.search(dialog.Edit1->text(), dialog.CheckAll->isChecked(), display) ==
            store::SearchOutcome::Filtered) {
            NoFilterSpeed->setEnabled(true);
        }
    });
    DexGrid->setFocus();
}

void TZiDuv::NoFilterSpeedClick() {
    if (DM_ == nullptr) return;
    if (guarded([this] { DM_->search.cancel(); })) NoFilterSpeed->setEnabled(false);
}

void TZiDuv::HelpSpeedClick() {
    services_.shell.openUrl(platform::helpPageUrl().toString());
}

void TZiDuv::WrapButtonClick() {
    if (DBMemo1->wordWrap()) {
        DBMemo1->setWordWrap(false);
        setMemoLook(*DBMemo1, false, Qt::yellow);
    } else {
        DBMemo1->setWordWrap(true);
        setMemoLook(*DBMemo1, true, Qt::white);
    }
    DexGrid->setFocus();
}

void TZiDuv::ButtonNaturalClick() {
    guarded([this] {
        DM_->tblAddress.setIndexName(QString());
        ButtonNatural->hide();
        ButtonAlpha->show();
    });
}

void TZiDuv::ButtonAlphaClick() {
    guarded([this] {
        DM_->tblAddress.setIndexName(QString::fromLatin1(store::kTagName));
        ButtonAlpha->hide();
        ButtonNatural->show();
    });
}

void TZiDuv::ToolsSpeedClick() {
    if (DM_ == nullptr) return;
    if (guarded([this] { store::RunFileMaintenance(*DM_, services_.prompter); })) {
        DexGrid->viewport()->update();
    }
}

void TZiDuv::buttonRWClick() {
    if (DM_ == nullptr) return;
    reports::ReportCommand command(
        {this, *DM_, state, *DexGrid, *Memo1, services_.prompter, services_.shell});
    guarded([&] { command.run(); });
}

void TZiDuv::ShopClick() {
    if (const std::optional<std::string> address = shopChoice_.choose(ShopItems->checkedId())) {
        services_.shell.openUrl(QString::fromStdString(*address));
    }
}

bool TZiDuv::eventFilter(QObject* watched, QEvent* event) {
    if (DBMemo1 != nullptr && watched == DBMemo1->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        InfoSpeedClick();
    }
    // The name column fills a grid grown wider than it, until the user sizes it by hand.
    if (DexGrid != nullptr && watched == DexGrid->viewport() && event->type() == QEvent::Resize) {
        if (DexGrid->columnWidth(0) == nameColumnWidth_) {
            nameColumnWidth_ = std::max(kNameColumnWidth, DexGrid->viewport()->width());
            DexGrid->setColumnWidth(0, nameColumnWidth_);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TZiDuv::commitCellEditor() {
    // A name typed into the grid's cell reaches the field when its editor lets go.
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && focused != DexGrid && DexGrid->isAncestorOf(focused)) {
        QMetaObject::invokeMethod(DexGrid, "commitData", Q_ARG(QWidget*, focused));
    }
}

bool TZiDuv::mayCloseWhileEditing() {
    if (DM_ == nullptr) return true;
    data::DataSet& table = DM_->tblAddress;
    const data::DataSetState editing = table.state();
    if (editing != data::DataSetState::Edit && editing != data::DataSetState::Insert) return true;
    commitCellEditor();

    platform::Prompter& prompter = services_.prompter;
    const QString name = table.fieldByName(QString::fromLatin1(store::kNameField)).asString();
    const QString entry = name.trimmed().isEmpty()
                              ? QStringLiteral("The new entry")
                              : QStringLiteral("The entry \"%1\"").arg(name.trimmed());
    const QString question = entry + QStringLiteral(" has not been saved.\rSave it before closing?");
    switch (prompter.confirm(question, platform::ButtonSet::YesNoCancel)) {
        case platform::Answer::Yes:
            // The checks may refuse; then the entry stays open for correction.
            return guarded([&] { table.post(); });
        case platform::Answer::No:
            return guarded([&] { table.cancel(); });
        default:
            return false;
    }
}

void TZiDuv::closeEvent(QCloseEvent* event) {
    if (mayCloseWhileEditing()) {
        platform::savePlacement(*this, kPlacementName);
        event->accept();
    } else {
        event->ignore();
    }
}

void TZiDuv::TrackViewClick() {
    playlist::DesktopStandardDialogs dialogs;
    playlist::PlaylistSource source;
    source.memoText = DBMemo1->toPlainText();
    source.memoWidth = DBMemo1->width();
    if (DM_ != nullptr) {
        const data::DataSet& table = DM_->tblAddress;
        source.codePage = {[&table](const QString& text) { return table.fromUnicode(text); },
                           [&table](const std::string& bytes) { return table.toUnicode(bytes); }};
    }
    guarded([&] {
        playlist::RunPlaylistEditor(source, {services_.prompter, services_.clipboard, dialogs},
                                    this);
    });
}

void TZiDuv::SpeedPhoneClick() {
    runLinkAction(&links::LinkActions::SpeedPhoneClick);
}

void TZiDuv::emailClick() {
    runLinkAction(&links::LinkActions::emailClick);
}

void TZiDuv::URLClick() {
    runLinkAction(&links::LinkActions::URLClick);
}

void TZiDuv::SpeedButton2Click() {
    runLinkAction(&links::LinkActions::SpeedButton2Click);
}

void TZiDuv::runLinkAction(void (links::LinkActions::*action)()) {
    if (DM_ == nullptr || BtnBottomDlg == nullptr) return;
    links::AddressEntry entry(DM_->tblAddress, *DBMemo1, *DexGrid);
    links::LinkActions actions(entry, *BtnBottomDlg, services_.prompter, services_.shell,
                               services_.dialer);
    guarded([&] { (actions.*action)(); });
}

void TZiDuv::ClipSpeedClick() {
    if (DM_ == nullptr) return;
    links::NameExchange names(DM_->tblAddress, *DexGrid, *Memo1, services_.clipboard);
    guarded([&] { names.ClipSpeedClick(); });
}

}  // namespace app
