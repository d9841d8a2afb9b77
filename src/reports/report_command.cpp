#include <reports/report_command.h>

#include <QApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QWidget>

#include <data/grid.h>
#include <data/table_work.h>
#include <platform/prompter.h>
#include <xbase/cursor.h>

#include <report_engine/report_preview.h>
#include <reports/address_report.h>
#include <reports/record_selection_dialog.h>
#include <reports/selection_filter.h>
#include <reports/table_report_data.h>
#include <store/address_module.h>
#include <store/address_rules.h>

namespace reports {

namespace {

// The preview is not modal: the main window takes input while it is open, and the
// report walks its cursor meanwhile. One report at a time keeps that cursor still.
bool commandRunning = false;

void bringPreviewForward() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* preview = qobject_cast<ReportPreview*>(window);
        if (preview != nullptr && preview->isVisible()) {
            preview->raise();
            preview->activateWindow();
        }
    }
}

}  // namespace

ReportCommand::ReportCommand(ReportCommandContext context) : context_(context) {
    showDialog = [](RecordSelectionDialog& dialog) { return dialog.exec(); };
    preview = [this](const Report& report) {
        previewReport(report, context_.mainWindow, &context_.prompter);
    };
}

bool ReportCommand::reportInProgress() {
    return commandRunning;
}

bool ReportCommand::chooseRecords() {
    RecordSelectionDialog dialog({selectionKind_, includeMemo_, textFormat_}, context_.shell,
                                 context_.mainWindow);
    return showDialog(dialog) == QDialog::Accepted;
}

std::string ReportCommand::nameAt(data::Bookmark row) {
    xbase::Cursor& cursor = context_.dataModule.addressTable.cursor();
    return cursor.textAt(row, cursor.requireField(store::kNameField));
}

bool ReportCommand::filterReportCopy(SelectionKind kind, const std::string& savedName) {
    data::DataSet& address = context_.dataModule.addressTable;
    data::DataSet& copy = context_.dataModule.reportTable;
    copy.close();
    copy.setExclusive(false);
    copy.setDatabaseName(address.databaseName());
    copy.setTableName(address.tableName());
    copy.setIndexName(QString::fromLatin1(kNameOrderTag));

    // The selected rows are read where they lie; the grid does not move.
    const QList<data::Bookmark>& rows = context_.grid.selectedRows();
    std::string expression;
    switch (kind) {
        case kCurrent:
            expression = currentEntryFilter(savedName);
            break;
        case kRange:
            if (rows.size() != 2) {
                context_.prompter.message(QString::fromLatin1(kNoRangeSelected));
                return false;
            }
            expression = nameRangeFilter(store::upperAscii(nameAt(rows[0])),
                                         store::upperAscii(nameAt(rows[1])));
            break;
        case kSelected: {
            if (rows.isEmpty()) {
                context_.prompter.message(QString::fromLatin1(kNoRecordsSelected));
                return false;
            }
            std::vector<std::string> names;
            QStringList lines;
            for (const data::Bookmark row : rows) {
                names.push_back(nameAt(row));
                lines << address.toUnicode(names.back());
            }
            context_.nameList.clear();
            context_.nameList.setPlainText(lines.join(QLatin1Char('\n')));
            expression = selectedNamesFilter(names);
            break;
        }
        default:
            return false;
    }
    copy.setFilter(address.toUnicode(expression));
    copy.open();
    copy.setFiltered(true);
    copy.first();
    if (copy.bof() && copy.eof()) context_.prompter.message(QString::fromLatin1(kNoRecords));
    return true;
}

void ReportCommand::produce(data::DataSet& entries) {
    TableReportData walked(entries);
    const ReportRequest request{
        walked,
        includeMemo_,
        textFormat_,
        context_.dataModule.addressTable,
        context_.mainWindow != nullptr ? context_.mainWindow->windowTitle() : QString(),
        context_.dataModule.engineSettings.qtDateFormat(),
        QFileInfo(context_.dataModule.dataFolder()).fileName(),
    };
    produceReport(request, preview);
}

void ReportCommand::returnToSavedEntry(const std::string& savedName, data::Bookmark before,
                                       quint64 epoch) {
    data::DataSet& address = context_.dataModule.addressTable;
    address.open();
    if (!address.indexName().isEmpty()) {
        address.findKey(address.toUnicode(savedName));
        return;
    }
    // Natural order has no key to search: back to the very entry, while the bookmark
    // still names it.
    if (before.valid() && address.bookmarkEpoch() == epoch) address.gotoBookmark(before);
}

void ReportCommand::run() {
    if (commandRunning) {
        bringPreviewForward();
        return;
    }
    commandRunning = true;
    const struct Done {
        ~Done() { commandRunning = false; }
    } done;

    textFormat_ = false;
    if (!chooseRecords()) return;

    data::DataSet& address = context_.dataModule.addressTable;
    std::string savedName;
    data::Bookmark before;
    quint64 epoch = 0;
    if (address.active()) {
        savedName = store::upperAscii(address.fromUnicode(
            address.fieldByName(QString::fromLatin1(store::kNameField)).asString()));
        before = address.bookmark();
        epoch = address.bookmarkEpoch();
    }

    data::DataSet* entries = &address;
    if (selectionKind_ != kAll) {
        if (!filterReportCopy(selectionKind_, savedName)) return;
        entries = &context_.dataModule.reportTable;
    }

    // The grid goes back to the entry also after a failed report.
    data::runThenAlways([&] { produce(*entries); },
                        [&] { returnToSavedEntry(savedName, before, epoch); });
}

}  // namespace reports
