#include <store/maintenance.h>

#include <QDir>
#include <QFile>

#include <optional>

#include <data/table_work.h>
#include <platform/prompter.h>

#include <store/address_module.h>
#include <store/address_rules.h>

namespace fs = std::filesystem;

namespace store {

namespace {

fs::path dataFolderPath(const AddressModule& module) {
    const fs::path folder(QFile::encodeName(module.dataFolder()).toStdString());
    return fs::absolute(folder).lexically_normal();
}

}  // namespace

fs::path archivePath(const AddressModule& module) {
    return backupArchivePath(dataFolderPath(module));
}

QString archiveWrittenMessage(const fs::path& archive) {
    return QString::fromLatin1(kArchiveWritten) +
           QDir::toNativeSeparators(QFile::decodeName(archive.string().c_str())) +
           QStringLiteral(".\r") + QString::fromLatin1(kKeepArchiveSafe);
}

void packDatabase(AddressModule& module) {
    if (module.lookupTable.active()) module.lookupTable.close();
    module.lookupTable.setExclusive(false);
    module.packAddressTable();
}

ArchiveRun archiveAddressTable(AddressModule& module) {
    data::DataSet& table = module.addressTable;
    const fs::path folder = dataFolderPath(module);
    const fs::path archive = backupArchivePath(folder);
    ArchiveRun run;

    // The files the table really uses: a dBASE table keeps its memos in ADDRESS.dbt, and
    // an ADDRESS.fpt beside it is none of the book's.
    fs::path tableFile = folder / kTableFileName;
    std::optional<fs::path> memoFile = folder / kMemoFileName;
    if (table.active()) {
        tableFile = table.cursor().path();
        memoFile.reset();
        if (table.cursor().hasMemoFile()) memoFile = table.cursor().memoPath();
    }

    // Closed while the archive reads its files, so that they hold all it wrote; back in
    // shared use afterwards, also when the archive failed.
    data::reopenSharedAfter(table, [&] {
        table.close();
        run = archiveDataFiles(archive, tableFile, memoFile);
    });
    return run;
}

MaintenanceOutcome runFileMaintenance(AddressModule& module, platform::Prompter& prompter) {
    MaintenanceOutcome outcome = MaintenanceOutcome::Packed;
    if (module.addressTable.filtered()) {
        prompter.message(QString::fromLatin1(kCannotPackFiltered));
        outcome = MaintenanceOutcome::RefusedWhileFiltered;
    } else if (module.addressTable.editing()) {
        prompter.message(QString::fromLatin1(kFinishEditingFirst));
        return MaintenanceOutcome::RefusedWhileEditing;
    } else {
        packDatabase(module);
        if (prompter.confirm(QString::fromLatin1(kCreateArchiveQuestion),
                             platform::ButtonSet::YesNo) == platform::Answer::Yes) {
            const ArchiveRun run = archiveAddressTable(module);
            prompter.message(archiveWrittenMessage(run.archive));
            outcome = MaintenanceOutcome::Archived;
        }
    }
    if (module.reportTable.active()) module.reportTable.close();
    return outcome;
}

}  // namespace store
