#include <app/main_window.h>

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
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include <data/grid.h>
#include <data/memo.h>
#include <data/navigator.h>
#include <platform/clipboard.h>
#include <platform/form_style.h>
#include <platform/form_widgets.h>
#include <platform/help_pages.h>
#include <platform/prompter.h>
#include <platform/secret_store.h>
#include <platform/shell.h>
#include <platform/window_placement.h>
#include <xbase/cursor.h>

#include <app/contacts_actions.h>
#include <app/damaged_book.h>
#include <app/startup.h>
#include <app/sync_action.h>
#include <info/entry_info_dialog.h>
#include <links/address_entry.h>
#include <links/item_chooser.h>
#include <links/link_actions.h>
#include <links/name_exchange.h>
#include <playlist/playlist_command.h>
#include <reports/report_command.h>
#include <store/address_rules.h>
#include <store/maintenance.h>

// Resources live in this static library; the linker keeps them only when asked.
static void initResources() {
    Q_INIT_RESOURCE(cardhold);
}

namespace app {

namespace {

using platform::kMaroon;
using platform::pixelFont;

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

MainWindow::MainWindow(Services services, StartupOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      services_(services),
      options_(std::move(options)) {
    // A file manager opening a vCard file names it behind the folder, if any.
    ContactsCommandLine line =
        takeVCardFile(options_.arguments, options_.currentFolder,
                      options_.homeFolder.isEmpty() ? QDir::homePath() : options_.homeFolder);
    options_.arguments = line.arguments;
    options_.currentFolder = line.currentFolder;
    contactsFile_ = line.vCardFile;
    if (services_.dialogs == nullptr) {
        desktopDialogs_ = std::make_unique<playlist::DesktopStandardDialogs>();
        services_.dialogs = desktopDialogs_.get();
    }
    initResources();
    setObjectName(QStringLiteral("ZiDuv"));
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    setFont(pixelFont(QStringLiteral("Arial"), 10, true));
    setWindowIcon(QIcon(QStringLiteral(":/icons/cardhold.png")));

    createToolbar();
    createEditors();
    createShop();
    setTabOrder(nameGrid, memoEditor);
    setTabOrder(memoEditor, navigator);
    setTabOrder(navigator, wordWrapCheck);

    platform::centreOnScreen(*this);
    platform::restorePlacement(*this, kPlacementName);
    nameOrderButton->move(naturalOrderButton->pos());
}

MainWindow::~MainWindow() = default;

QToolButton* MainWindow::toolButton(const char* name, int left, const char* hint,
                                    const char* picture, bool withDisabledPicture) {
    QToolButton* button = platform::toolButton(
        toolbar, name, platform::formIcon(QString::fromLatin1(picture), withDisabledPicture),
        QSize(20, 20), QString::fromLatin1(hint),
        QRect(left, kButtonTop, kButtonSize, kButtonSize));
    button->setAutoRaise(true);
    return button;
}

void MainWindow::createToolbar() {
    toolbar = new QFrame(this);
    toolbar->setObjectName(QStringLiteral("Panel1"));
    toolbar->setGeometry(0, 0, kClientWidth, kToolbarHeight);
    toolbar->setFrameStyle(QFrame::Panel | QFrame::Raised);

    dialButton = toolButton("SpeedPhone", 2, "Dial Phone Number", "phone");
    emailButton = toolButton("email", 29, "Send  e-mail", "email");
    webButton = toolButton("URL", 56, "Visit  Website", "web");
    openFileButton =
        toolButton("SpeedButton2", 83, "Open file with default application", "open-file");
    playlistButton = toolButton("TrackView", 109, "Create/Edit Media Playlist", "playlist", false);
    searchButton = toolButton("FindSpeed", 136, "Search (Set Filter)", "find");
    cancelSearchButton = toolButton("NoFilterSpeed", 163, "Cancel Filter", "no-filter");
    clipboardButton = toolButton("ClipSpeed", 190, "Copy between Name field and Windows Clipboard",
                                 "clipboard", false);
    infoButton = toolButton("InfoSpeed", 217, "More Information", "info");
    infoButton->move(217, kButtonTop - 1);
    naturalOrderButton = toolButton(
        "ButtonNatural", 244, "show entries in order entered (Natural Order)", "natural-order");
    nameOrderButton = toolButton("ButtonAlpha", 244, "return to Alphabetical order", "alpha-order");
    reportButton = toolButton("buttonRW", 270, "Report Writer", "report");
    maintenanceButton =
        toolButton("ToolsSpeed", 297, "Pack, Reindex and optionally Archive database", "tools");
    helpButton = toolButton("HelpSpeed", 324, "On-line Help", "help");

    cancelSearchButton->setEnabled(false);
    nameOrderButton->hide();

    connect(dialButton, &QToolButton::clicked, this, [this] { dialPhone(); });
    connect(emailButton, &QToolButton::clicked, this, [this] { sendEmail(); });
    connect(webButton, &QToolButton::clicked, this, [this] { visitWebAddress(); });
    connect(openFileButton, &QToolButton::clicked, this, [this] { openFileNamedInMemo(); });
    connect(playlistButton, &QToolButton::clicked, this, [this] { editPlaylist(); });
    connect(clipboardButton, &QToolButton::clicked, this, [this] { exchangeNamesWithClipboard(); });
    connect(searchButton, &QToolButton::clicked, this, [this] { searchEntries(); });
    connect(cancelSearchButton, &QToolButton::clicked, this, [this] { cancelSearch(); });
    connect(infoButton, &QToolButton::clicked, this, [this] { showEntryInformation(); });
    connect(helpButton, &QToolButton::clicked, this, [this] { showHelp(); });
    connect(naturalOrderButton, &QToolButton::clicked, this, [this] { showNaturalOrder(); });
    connect(nameOrderButton, &QToolButton::clicked, this, [this] { showNameOrder(); });
    connect(reportButton, &QToolButton::clicked, this, [this] { runReport(); });
    connect(maintenanceButton, &QToolButton::clicked, this, [this] { runFileMaintenance(); });
}

void MainWindow::createEditors() {
    const auto confirmDelete = [this](const QString& question) {
        return services_.prompter.confirm(question, platform::ButtonSet::OkCancel) ==
               platform::Answer::Ok;
    };
    const auto showError = [this](const std::exception& failure) {
        services_.prompter.error(failureText(failure));
    };

    nameGrid = new data::DBGrid(this);
    nameGrid->setObjectName(QStringLiteral("DexGrid"));
    nameGrid->setGeometry(kGridPlace);
    nameGrid->setFont(pixelFont(QStringLiteral("Courier New"), 13, true));
    nameGrid->setColumns({QString::fromLatin1(store::kNameField)});
    nameGrid->horizontalHeader()->hide();
    nameGrid->setColumnWidth(0, kNameColumnWidth);
    nameColumnWidth_ = kNameColumnWidth;
    nameGrid->viewport()->installEventFilter(this);
    nameGrid->setShowGrid(true);
    nameGrid->confirmDelete = confirmDelete;
    nameGrid->showError = showError;
    connect(nameGrid, &data::DBGrid::keyTyped, this, [this](QChar key) { jumpToTypedLetter(key); });
    connect(nameGrid, &data::DBGrid::areaDoubleClicked, this, [this] { showEntryInformation(); });
    gridMenu = new QMenu(nameGrid);
    gridMenu->setObjectName(QStringLiteral("GridMenu"));
    nameGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(nameGrid, &QWidget::customContextMenuRequested, this,
            [this](QPoint at) { gridMenu->popup(nameGrid->viewport()->mapToGlobal(at)); });

    memoEditor = new data::DBMemo(this);
    memoEditor->setObjectName(QStringLiteral("DBMemo1"));
    memoEditor->setGeometry(kMemoPlace);
    memoEditor->setFont(pixelFont(QStringLiteral("Arial"), 13));
    memoEditor->setDataField(QString::fromLatin1(store::kInfoField));
    memoEditor->showError = showError;
    memoEditor->setWordWrap(true);
    memoEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoEditor->viewport()->installEventFilter(this);
    connect(memoEditor, &data::DBMemo::keyTyped, this,
            [this](QChar key) { jumpToTypedLetter(key); });
    connect(memoEditor, &data::DBMemo::exited, this, [this] { returnFocusToGrid(); });

    navigator = new data::DBNavigator(this);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    navigator->setGeometry(kNavigatorPlace);
    navigator->confirmDelete = confirmDelete;
    navigator->showError = showError;

    wordWrapCheck = new QCheckBox(QStringLiteral("Word Wrap"), this);
    wordWrapCheck->setObjectName(QStringLiteral("WrapButton"));
    wordWrapCheck->setGeometry(kWrapBoxPlace);
    wordWrapCheck->setFont(pixelFont(QStringLiteral("Arial"), 13));
    wordWrapCheck->setToolTip(QStringLiteral("Word wrap memo (note)?"));
    wordWrapCheck->setChecked(true);
    connect(wordWrapCheck, &QCheckBox::clicked, this, [this] { toggleMemoWordWrap(); });

    stagingText = new QPlainTextEdit(this);
    stagingText->setObjectName(QStringLiteral("Memo1"));
    stagingText->setLineWrapMode(QPlainTextEdit::NoWrap);
    stagingText->setFocusPolicy(Qt::NoFocus);
    stagingText->hide();
}

void MainWindow::createShop() {
    shopRow = new QGroupBox(
        QString::fromLatin1(shop::kShopCaption.data(), shop::kShopCaption.size()), this);
    shopRow->setObjectName(QStringLiteral("Shop"));
    shopRow->setGeometry(0, kClientHeight - kShopHeight, kClientWidth, kShopHeight);
    shopRow->setFlat(true);
    shopRow->setAutoFillBackground(true);
    const QFont font = pixelFont(QStringLiteral("Arial"), 11);
    shopRow->setFont(font);
    QPalette palette = shopRow->palette();
    palette.setColor(QPalette::Window, kMaroon);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    shopRow->setPalette(palette);

    shopItems = new QButtonGroup(shopRow);
    shopItems->setObjectName(QStringLiteral("ShopItems"));
    for (int index = 0; index < static_cast<int>(shop::kShopItems.size()); ++index) {
        const std::string_view caption = shop::kShopItems[static_cast<std::size_t>(index)];
        auto* item = new QRadioButton(
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())), shopRow);
        item->setObjectName(QStringLiteral("ShopItem%1").arg(index));
        item->setFont(font);
        item->setPalette(palette);
        shopItems->addButton(item, index);
    }
    placeShopItems();
    connect(shopItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) openShopItem();
    });
}

void MainWindow::placeShopItems() {
    // Three to a column, each column as wide as its longest item and the room left over
    // shared out evenly: the stand-in faces draw some items wider than a quarter of the row.
    std::vector<int> columnNeeds(static_cast<std::size_t>(shop::kShopColumns), 0);
    for (QAbstractButton* item : shopItems->buttons()) {
        int& need = columnNeeds[static_cast<std::size_t>(shopItems->id(item) / kShopRows)];
        need = std::max(need, item->sizeHint().width());
    }
    int needed = 0;
    for (const int need : columnNeeds) needed += need;
    const int spare = std::max(0, (shopRow->width() - 4 - needed) / shop::kShopColumns);
    std::vector<int> columnLefts;
    int left = 2;
    for (const int need : columnNeeds) {
        columnLefts.push_back(left);
        left += need + spare;
    }
    for (QAbstractButton* item : shopItems->buttons()) {
        const int index = shopItems->id(item);
        const auto column = static_cast<std::size_t>(index / kShopRows);
        item->setGeometry(columnLefts[column], kShopTop + (index % kShopRows) * kShopRowHeight,
                          columnNeeds[column] + spare, kShopRowHeight);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (shopRow == nullptr) return;
    // What the window has beyond its first size goes to the grid and the memo, the grid
    // taking the larger share of the height; the rest keeps its place against its edges.
    const int extraWidth = width() - kClientWidth;
    const int extraHeight = height() - kClientHeight;
    const int gridShare = extraHeight * 2 / 3;
    toolbar->setGeometry(0, 0, width(), kToolbarHeight);
    nameGrid->setGeometry(kGridPlace.adjusted(0, 0, extraWidth, gridShare));
    memoEditor->setGeometry(kMemoPlace.adjusted(0, gridShare, extraWidth, extraHeight));
    navigator->move(kNavigatorPlace.topLeft() + QPoint(0, extraHeight));
    wordWrapCheck->move(kWrapBoxPlace.topLeft() + QPoint(extraWidth, extraHeight));
    shopRow->setGeometry(0, height() - kShopHeight, width(), kShopHeight);
    placeShopItems();
}

void MainWindow::setDataModule(store::AddressModule& dataModule) {
    module_ = &dataModule;
    nameGrid->setDataSource(&dataModule.addressSource);
    memoEditor->setDataSource(&dataModule.addressSource);
    navigator->setDataSource(&dataModule.addressSource);
    dataModule.focusNameGrid = [this] { nameGrid->setFocus(); };
    contactsActions =
        new ContactsActions({*this, dataModule, *nameGrid, services_.prompter, *services_.dialogs,
                             [this](const QString& before) { return mayLeaveEditing(before); },
                             [this] { cancelSearch(); }},
                            this);
    contactsActions->addMenuItems(*gridMenu);
    gridMenu->addSeparator();
    gridMenu->addAction(QStringLiteral("S&ync…"), this, [this] { syncWithServer(); })
        ->setObjectName(QStringLiteral("SyncItem"));
    contactsActions->acceptDropsOn(*this);
    contactsActions->acceptDropsOn(*memoEditor->viewport());
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The start-up runs once the window is up, so that its messages sit over it.
    if (!event->spontaneous() && state.firstShow && !startupQueued_) {
        startupQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                startupQueued_ = false;
                runStartup();
            },
            Qt::QueuedConnection);
    }
}

void MainWindow::endProgram() {
    endedByStartup_ = true;
    close();
}

void MainWindow::runStartup() {
    if (!state.firstShow) return;
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
    if (module_ == nullptr) return;
    bool opened = false;
    if (!guarded([this, &opened] { opened = openAddressTableMendingDamage(); })) return;
    if (!opened) return;
    state.firstShow = false;
    if (!contactsFile_.isEmpty()) contactsActions->offerImport(std::exchange(contactsFile_, {}));
}

bool MainWindow::openAddressTableMendingDamage() {
    try {
        openAddressTable();
        return true;
    } catch (const xbase::Error& error) {
        module_->addressTable.close();
        switch (offerToMendDamagedBook(error, toPath(module_->dataFolder()), services_.prompter)) {
            case MendOutcome::NotOffered:
                throw;
            case MendOutcome::Declined:
                return false;
            case MendOutcome::Mended:
                break;
        }
    }
    openAddressTable();
    return true;
}

bool MainWindow::settleDataFolder() {
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
    if (module_ != nullptr) {
        // A start-up that failed before may have left the table open.
        module_->addressTable.close();
        module_->engineSettings.defaultFolder = folder;
        module_->setDataFolder(folder);
    }
    return true;
}

void MainWindow::openAddressTable() {
    data::DataSet& table = module_->addressTable;
    const QString folder = module_->dataFolder();
    const std::filesystem::path folderPath = toPath(folder);
    if (!xbase::tableExists(folderPath, store::kTableFileName)) {
        removeFilesIgnoringCase(folder, {QString::fromLatin1(store::kIndexFileName),
                                         QString::fromLatin1(store::kMemoFileName)});
        xbase::createTable(toPath(module_->engineSettings.defaultFolder) / store::kTableFileName,
                           xbase::parseFieldList(store::kFieldList));
    }
    if (!xbase::tableExists(folderPath, store::kIndexFileName)) {
        table.close();
        table.setExclusive(true);
        table.setIndexName(QString());
        table.open();
        table.cursor().createIndex(store::kTagName, store::kKeyExpression);
        table.setIndexName(QStringLiteral("ADDRESS"));
        module_->packAddressTable();
        table.first();
    }
    table.close();
    table.setExclusive(false);
    table.setIndexName(QStringLiteral("ADDRESS"));
    table.open();
    module_->lookupTable.setExclusive(false);
    state.entryCount = table.recordCount();
}

void MainWindow::jumpToTypedLetter(QChar key) {
    if (module_ == nullptr || module_->addressTable.state() != data::DataSetState::Browse) return;
    const char16_t code = key.unicode();
    if (code < 32 || code > 126) return;
    const QChar wanted = code >= u'a' && code <= u'z' ? QChar(code - u'a' + u'A') : key;
    guarded([&] {
        module_->addressTable.findNearest(QString(wanted));
        nameGrid->setFocus();
    });
}

void MainWindow::returnFocusToGrid() {
    nameGrid->setFocus();
}

void MainWindow::showEntryInformation() {
    if (module_ == nullptr) return;
    info::EntryInfoDialog dialog(*module_, services_.prompter, services_.shell, nullptr, this);
    if (!memoEditor->wordWrap()) dialog.setUnwrappedMemoLook();
    dialog.exec();
}

void MainWindow::searchEntries() {
    if (module_ == nullptr || itemChooser == nullptr) return;
    state.nameOnlySearch = false;
    links::ItemChooser& dialog = *itemChooser;
    dialog.beginUse(0);
    dialog.setWindowTitle(QString::fromLatin1(store::kSearchCaption));
    dialog.answerEdit->setEnabled(true);
    dialog.answerEdit->clear();
    dialog.answerEdit->show();
    dialog.itemCombo->setEnabled(false);
    dialog.itemCombo->hide();
    dialog.optionCheck->setText(QString::fromLatin1(store::kIncludeMemoCaption));
    dialog.optionCheck->setToolTip(QString::fromLatin1(store::kIncludeMemoHint));
    dialog.optionCheck->setChecked(true);
    dialog.optionCheck->show();
    dialog.answerEdit->setFocus();
    dialog.exec();
    if (dialog.refused()) return;

    // While the filter is applied the grid is away from its data and does not paint.
    const store::SearchDisplay display{[this] {
                                           module_->addressTable.disableControls();
                                           nameGrid->setUpdatesEnabled(false);
                                           nameGrid->setDataSource(nullptr);
                                       },
                                       [this] {
                                           nameGrid->setDataSource(&module_->addressSource);
                                           nameGrid->setUpdatesEnabled(true);
                                           nameGrid->repaint();
                                           module_->addressTable.enableControls();
                                       }};
    guarded([&] {
        if (module_->search.search(dialog.answerEdit->text(), dialog.optionCheck->isChecked(),
                                   display) == store::SearchOutcome::Filtered) {
            cancelSearchButton->setEnabled(true);
        }
    });
    nameGrid->setFocus();
}

void MainWindow::cancelSearch() {
    if (module_ == nullptr) return;
    if (guarded([this] { module_->search.cancel(); })) cancelSearchButton->setEnabled(false);
}

void MainWindow::showHelp() {
    services_.shell.openUrl(platform::helpPageUrl().toString());
}

void MainWindow::toggleMemoWordWrap() {
    if (memoEditor->wordWrap()) {
        memoEditor->setWordWrap(false);
        setMemoLook(*memoEditor, false, Qt::yellow);
    } else {
        memoEditor->setWordWrap(true);
        setMemoLook(*memoEditor, true, Qt::white);
    }
    nameGrid->setFocus();
}

void MainWindow::showNaturalOrder() {
    guarded([this] {
        module_->addressTable.setIndexName(QString());
        naturalOrderButton->hide();
        nameOrderButton->show();
    });
}

void MainWindow::showNameOrder() {
    guarded([this] {
        module_->addressTable.setIndexName(QString::fromLatin1(store::kTagName));
        nameOrderButton->hide();
        naturalOrderButton->show();
    });
}

void MainWindow::runFileMaintenance() {
    if (module_ == nullptr) return;
    if (guarded([this] { store::runFileMaintenance(*module_, services_.prompter); })) {
        nameGrid->viewport()->update();
    }
}

void MainWindow::syncWithServer() {
    if (module_ == nullptr) return;
    platform::DesktopKeyring desktopKeyring;
    SyncAction sync(*this, *module_, services_.prompter,
                    services_.secrets != nullptr ? *services_.secrets : desktopKeyring);
    guarded([&] { sync.run(); });
    nameGrid->setFocus();
}

void MainWindow::runReport() {
    if (module_ == nullptr) return;
    reports::ReportCommand command(
        {this, *module_, *nameGrid, *stagingText, services_.prompter, services_.shell});
    guarded([&] { command.run(); });
}

void MainWindow::openShopItem() {
    if (const std::optional<std::string> address = shopChoice_.choose(shopItems->checkedId())) {
        services_.shell.openUrl(QString::fromStdString(*address));
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (memoEditor != nullptr && watched == memoEditor->viewport() &&
        event->type() == QEvent::MouseButtonDblClick) {
        showEntryInformation();
    }
    // The name column fills a grid grown wider than it, until the user sizes it by hand.
    if (nameGrid != nullptr && watched == nameGrid->viewport() && event->type() == QEvent::Resize) {
        if (nameGrid->columnWidth(0) == nameColumnWidth_) {
            nameColumnWidth_ = std::max(kNameColumnWidth, nameGrid->viewport()->width());
            nameGrid->setColumnWidth(0, nameColumnWidth_);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::commitCellEditor() {
    // A name typed into the grid's cell reaches the field when its editor lets go.
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && focused != nameGrid && nameGrid->isAncestorOf(focused)) {
        QMetaObject::invokeMethod(nameGrid, "commitData", Q_ARG(QWidget*, focused));
    }
}

bool MainWindow::mayLeaveEditing(const QString& before) {
    if (module_ == nullptr) return true;
    data::DataSet& table = module_->addressTable;
    const data::DataSetState editing = table.state();
    if (editing != data::DataSetState::Edit && editing != data::DataSetState::Insert) return true;
    commitCellEditor();

    platform::Prompter& prompter = services_.prompter;
    const QString name = table.fieldByName(QString::fromLatin1(store::kNameField)).asString();
    const QString entry = name.trimmed().isEmpty()
                              ? QStringLiteral("The new entry")
                              : QStringLiteral("The entry \"%1\"").arg(name.trimmed());
    const QString question =
        entry + QStringLiteral(" has not been saved.\rSave it before %1?").arg(before);
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

void MainWindow::closeEvent(QCloseEvent* event) {
    if (mayLeaveEditing()) {
        platform::savePlacement(*this, kPlacementName);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::editPlaylist() {
    playlist::PlaylistSource source;
    source.memoText = memoEditor->toPlainText();
    source.memoWidth = memoEditor->width();
    if (module_ != nullptr) {
        const data::DataSet& table = module_->addressTable;
        source.codePage = {[&table](const QString& text) { return table.fromUnicode(text); },
                           [&table](const std::string& bytes) { return table.toUnicode(bytes); }};
    }
    guarded([&] {
        playlist::runPlaylistEditor(
            source, {services_.prompter, services_.clipboard, *services_.dialogs}, this);
    });
}

void MainWindow::dialPhone() {
    runLinkAction(&links::LinkActions::dialPhone);
}

void MainWindow::sendEmail() {
    runLinkAction(&links::LinkActions::sendEmail);
}

void MainWindow::visitWebAddress() {
    runLinkAction(&links::LinkActions::visitWebAddress);
}

void MainWindow::openFileNamedInMemo() {
    runLinkAction(&links::LinkActions::openFile);
}

void MainWindow::runLinkAction(void (links::LinkActions::*action)()) {
    if (module_ == nullptr || itemChooser == nullptr) return;
    links::AddressEntry entry(module_->addressTable, *memoEditor, *nameGrid);
    links::LinkActions actions(entry, *itemChooser, services_.prompter, services_.shell,
                               services_.dialer);
    guarded([&] { (actions.*action)(); });
}

void MainWindow::exchangeNamesWithClipboard() {
    if (module_ == nullptr) return;
    links::NameExchange names(module_->addressTable, *nameGrid, *stagingText, services_.clipboard);
    guarded([&] { names.exchangeNamesWithClipboard(); });
}

}  // namespace app
