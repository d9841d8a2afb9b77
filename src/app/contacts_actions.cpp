#include <app/contacts_actions.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <data/dataset.h>
#include <data/grid.h>
#include <data/table_work.h>
#include <platform/prompter.h>
#include <playlist/standard_dialogs.h>
#include <xbase/cursor.h>

#include <app/standard_error.h>
#include <store/address_book.h>
#include <store/address_module.h>
#include <store/address_rules.h>
#include <store/contacts_exchange.h>

namespace app {

namespace {

const QString kImportFilter = QStringLiteral(
    "Contacts (*.vcf *.vcard *.csv);;vCard files (*.vcf *.vcard);;"
    "CSV files (*.csv);;All files (*)");
const QString kExportFilter = QStringLiteral("vCard files (*.vcf);;CSV files (*.csv)");
// A message box shows this many lines of a report at most; the rest stays in the count.
constexpr std::size_t kLinesInABox = 15;

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The summary (if any) and the first lines of a report, for a message box.
QString boxText(const std::string& summary, const std::vector<std::string>& lines) {
    QStringList text;
    if (!summary.empty()) text << fromUtf8(summary);
    for (std::size_t i = 0; i < lines.size() && i < kLinesInABox; ++i) text << fromUtf8(lines[i]);
    if (lines.size() > kLinesInABox)
        text << QStringLiteral("… and %1 more").arg(lines.size() - kLinesInABox);
    return text.join(u'\n');
}

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

ContactsActions::ContactsActions(ContactsContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)), lastFolder_(QDir::homePath()) {}

void ContactsActions::addMenuItems(QMenu& menu) {
    const auto item = [&](const char* objectName, const QString& text, auto&& slot) {
        QAction* action = menu.addAction(text, this, slot);
        action->setObjectName(QString::fromLatin1(objectName));
        return action;
    };
    item("importContactsItem", QStringLiteral("Import contacts…"), [this] { chooseAndImport(); });
    item("exportAllItem", QStringLiteral("Export all…"), [this] { exportEntries(Scope::All); });
    QAction* shown = item("exportShownItem", QStringLiteral("Export shown…"),
                          [this] { exportEntries(Scope::Shown); });
    item("exportSelectedItem", QStringLiteral("Export selected…"),
         [this] { exportEntries(Scope::Selected); });
    // The entries a search left are worth an item of their own only while one is on.
    connect(&menu, &QMenu::aboutToShow, shown,
            [this, shown] { shown->setVisible(context_.dataModule.addressTable.filtered()); });
}

void ContactsActions::acceptDropsOn(QWidget& area) {
    area.setAcceptDrops(true);
    area.installEventFilter(this);
}

QStringList ContactsActions::contactFiles(const QMimeData& data) {
    QStringList files;
    if (!data.hasUrls()) return files;
    for (const QUrl& url : data.urls()) {
        const QString file = url.toLocalFile();
        if (file.isEmpty() || !store::contactFileFormat(toPath(file))) return {};
        files << file;
    }
    return files;
}

bool ContactsActions::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData() == nullptr || contactFiles(*drag->mimeData()).isEmpty()) break;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData() == nullptr) break;
            const QStringList files = contactFiles(*drop->mimeData());
            if (files.isEmpty()) break;
            drop->acceptProposedAction();
            // The program that dragged waits for the drop to end: import once it has.
            QTimer::singleShot(0, this, [this, files] { importFiles(files); });
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void ContactsActions::runGuarded(const std::function<void()>& work) {
    runCommand(context_.prompter, work);
}

void ContactsActions::chooseAndImport() {
    playlist::FileDialogSettings settings;
    settings.caption = QStringLiteral("Import contacts");
    settings.filter = kImportFilter;
    settings.directory = lastFolder_;
    const std::optional<QStringList> files =
        context_.dialogs.openFileNames(&context_.window, settings);
    if (!files || files->isEmpty()) return;
    lastFolder_ = QFileInfo(files->front()).absolutePath();
    importFiles(*files);
}

void ContactsActions::offerImport(const QString& file) {
    const QString question =
        QStringLiteral("Import the contacts in\r%1\rinto the address book in\r%2?")
            .arg(QDir::toNativeSeparators(file),
                 QDir::toNativeSeparators(context_.dataModule.dataFolder()));
    if (context_.prompter.confirm(question, platform::ButtonSet::YesNo) == platform::Answer::Yes)
        importFiles({file});
}

bool ContactsActions::importFiles(const QStringList& files) {
    data::DataSet& table = context_.dataModule.addressTable;
    if (files.isEmpty() || !table.active()) return false;
    if (!context_.settleEditing(QStringLiteral("importing"))) return false;
    // New entries a search would hide must show: the whole table again.
    if (table.filtered()) context_.cancelSearch();

    std::vector<std::filesystem::path> paths;
    for (const QString& file : files) paths.push_back(toPath(file));
    const std::optional<data::Bookmark> wasCurrent =
        table.isEmpty() ? std::nullopt : std::optional(table.bookmark());
    std::optional<store::ImportReport> report;
    const bool ran = runCommand(context_.prompter, [&] {
        WaitCursor waiting;
        const std::filesystem::path folder = toPath(context_.dataModule.dataFolder());
        data::reopenSharedAfter(table, [&] {
            // The import writes through its own cursors, each entry through the save rules.
            table.close();
            store::AddressBook book(folder);
            report = store::importContacts(book, paths);
        });
    });
    if (!report) return false;  // the table could not be opened; the error box told why
    context_.dataModule.state().entryCount += report->added;
    // The first new entry is current; with none, the entry that was.
    if (ran && !report->addedEntries.empty()) {
        table.gotoBookmark(report->addedEntries.front().record);
        context_.grid.clearSelectedRows();
    } else if (wasCurrent && table.active()) {
        table.gotoBookmark(*wasCurrent);
    }
    context_.grid.viewport()->update();
    showImportReport(*report);
    return report->added > 0;
}

void ContactsActions::showImportReport(const store::ImportReport& report) {
    if (report.added == 0 && report.failed()) {
        // A file that could not be read at all needs its reason, not a row of zeros.
        const std::string summary = report.read == 0 ? std::string() : report.summary();
        context_.prompter.warning(QStringLiteral("Nothing was imported.\r") +
                                  boxText(summary, report.lines));
        return;
    }
    if (report.lines.empty()) {
        context_.prompter.information(QStringLiteral("Contacts imported: ") +
                                      fromUtf8(report.summary()));
        return;
    }
    // Lines for cards that did not come over exactly: as many as there were, to scroll.
    QDialog window(&context_.window);
    window.setObjectName(QStringLiteral("ImportReport"));
    window.setWindowTitle(QStringLiteral("Import report"));
    auto* layout = new QVBoxLayout(&window);
    auto* summary = new QLabel(fromUtf8(report.summary()), &window);
    summary->setObjectName(QStringLiteral("ImportSummary"));
    summary->setTextFormat(Qt::PlainText);
    layout->addWidget(summary);
    auto* lines = new QPlainTextEdit(&window);
    lines->setObjectName(QStringLiteral("ImportLines"));
    lines->setReadOnly(true);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList text;
    for (const std::string& line : report.lines) text << fromUtf8(line);
    lines->setPlainText(text.join(u'\n'));
    layout->addWidget(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &window);
    connect(buttons, &QDialogButtonBox::accepted, &window, &QDialog::accept);
    layout->addWidget(buttons);
    window.resize(560, 320);
    window.exec();
}

void ContactsActions::exportEntries(Scope scope) {
    data::DataSet& table = context_.dataModule.addressTable;
    if (!table.active()) return;
    // What is being typed belongs in the file.
    if (!context_.settleEditing(QStringLiteral("exporting"))) return;

    std::optional<std::vector<std::string>> names;
    QString caption = QStringLiteral("Export all entries");
    if (scope != Scope::All) {
        xbase::Cursor& cursor = table.cursor();
        const int nameField = cursor.requireField(store::kNameField);
        const auto nameOf = [&](data::Bookmark row) {
            return table.toUnicode(cursor.textAt(row, nameField)).toStdString();
        };
        names.emplace();
        if (scope == Scope::Shown) {
            caption = QStringLiteral("Export the entries shown");
            const int rows = table.visibleCount();
            for (int row = 0; row < rows; ++row) names->push_back(nameOf(table.visibleAt(row)));
        } else {
            caption = QStringLiteral("Export the selected entries");
            for (const data::Bookmark row : context_.grid.selectedRows())
                if (table.bookmarkValid(row)) names->push_back(nameOf(row));
            if (names->empty() && !table.isEmpty()) names->push_back(nameOf(table.bookmark()));
        }
        if (names->empty()) {
            context_.prompter.message(QStringLiteral("There are no entries to export."));
            return;
        }
    }

    playlist::FileDialogSettings settings;
    settings.caption = caption;
    settings.filter = kExportFilter;
    settings.fileName = QDir(lastFolder_).filePath(QStringLiteral("contacts.vcf"));
    settings.defaultSuffix = QStringLiteral("vcf");
    const std::optional<QString> file = context_.dialogs.saveFileName(&context_.window, settings);
    if (!file) return;
    lastFolder_ = QFileInfo(*file).absolutePath();

    runGuarded([&] {
        WaitCursor waiting;
        store::ExportOptions options;
        options.names = std::move(names);
        const store::ExportReport report =
            store::exportContacts(toPath(context_.dataModule.dataFolder()), toPath(*file), options);
        const QString text = boxText(report.summary(), report.lines) +
                             QStringLiteral("\r\rFile: ") + QDir::toNativeSeparators(*file);
        if (report.failed())
            context_.prompter.warning(text);
        else
            context_.prompter.information(text);
    });
}

}  // namespace app
