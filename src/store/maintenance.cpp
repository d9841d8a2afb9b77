#include "maintenance.h"

#include <QDir>
#include <QFile>

#include <exception>
#include <optional>

#include <platform/prompter.h>

#include "address_module.h"
#include "address_rules.h"

namespace fs = std::filesystem;

namespace store {

namespace {

fs::path dataFolderPath(const TDM& module) {
    const fs::path folder(QFile::encodeName(module.dataFolder()).toStdString());
    return fs::absolute(folder).lexically_normal();
}

}  // namespace

fs::path archivePath(const TDM& module) {
    return dataFolderPath(module) / kArchiveFileName;
}

QString archiveWrittenMessage(const fs::path& archive) {
    return QString::fromLatin1(kArchiveWritten) +
           QDir::toNativeSeparators(QFile::decodeName(archive.string().c_str())) +
           QStringLiteral(".\r") + QString::fromLatin1(kKeepArchiveSafe);
}

void PackDatabase(TDM& module) {
    if (module.tblFilter.active()) module.tblFilter.close();
    module.tblFilter.setExclusive(false);
    module.PackAddressTable();
}

ArchiveRun ArchiveAddressTable(TDM& module) {
    data::DataSet& table = module.tblAddress;
    const fs::path folder = dataFolderPath(module);
    ArchiveRun run;
    run.archive = folder / kArchiveFileName;

    // The files the table really uses: a dBASE table keeps its memos in ADDRESS.dbt, and
    // an ADDRESS.fpt beside it is none of the book's.
    fs::path tableFile = folder / kTableFileName;
    std::optional<fs::path> memoFile = folder / kMemoFileName;
    if (table.active()) {
        tableFile = table.cursor().path();
        memoFile.reset();
        if (table.cursor().hasMemoFile()) memoFile = table.cursor().memoPath();
    }

    table.disableControls();
    std::exception_ptr failure;
    try {
        table.close();
        ZipArchive archive(run.archive);
        run.table = archive.addFile(tableFile);
        if (memoFile) run.memo = archive.addFile(*memoFile);
        archive.close();
    } catch (...) {
        failure = std::current_exception();
    }
    // Always afterwards: the table back in shared use, also when the archive failed.
    try {
        table.close();
        table.setExclusive(false);
        table.open();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    table.enableControls();
    if (failure) std::rethrow_exception(failure);
    return run;
}

MaintenanceOutcome RunFileMaintenance(TDM& module, platform::Prompter& prompter) {
    MaintenanceOutcome outcome = MaintenanceOutcome::Packed;
    if (module.tblAddress.filtered()) {
        prompter.message(QString::fromLatin1(kCannotPackFiltered));
        outcome = MaintenanceOutcome::RefusedWhileFiltered;
    } else if (module.tblAddress.editing()) {
        prompter.message(QString::fromLatin1(kFinishEditingFirst));
        return MaintenanceOutcome::RefusedWhileEditing;
    } else {
        PackDatabase(module);
        if (prompter.confirm(QString::fromLatin1(kCreateArchiveQuestion),
                             platform::ButtonSet::YesNo) == platform::Answer::Yes) {
            const ArchiveRun run = ArchiveAddressTable(module);
            prompter.message(archiveWrittenMessage(run.archive));
            outcome = MaintenanceOutcome::Archived;
        }
    }
    if (module.tblClone.active()) module.tblClone.close();
    return outcome;
}

}  // namespace store
