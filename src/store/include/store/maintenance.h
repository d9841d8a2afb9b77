#pragma once
// File maintenance: pack the address table, then, when the user agrees, put its table and
// memo files into the backup archive MGdata.zip in the data folder.
//
// Every path out leaves addressTable open and shared with its controls following it again;
// a failure is rethrown afterwards with the engine's or the archive's own text
// (xbase::Error, store::ArchiveError) for the standard error display to show.

#include <QString>

#include <filesystem>

#include <store/archive.h>

namespace platform {
class Prompter;
}

namespace store {

class AddressModule;

// The line breaks in these texts are single CR characters.
inline constexpr const char* kCannotPackFiltered =
    "Cannot reindex filtered database. However,\r"
    "do you want to copy the filtered RECORD SET to another drive/directory?\r"
    "(to copy all records first cancel filter)";
inline constexpr const char* kCreateArchiveQuestion =
    "File maintenance completed\rNow create Zip archive (backup) file?";
inline constexpr const char* kArchiveWritten = "Created/Updated Zip archive file: ";
inline constexpr const char* kKeepArchiveSafe =
    "Please copy it to an EXTERNAL drive or webspace for safekeeping.";
// Closing the table for the pack would throw away what is being typed.
inline constexpr const char* kFinishEditingFirst =
    "Please save or cancel the entry you are editing first.";

enum class MaintenanceOutcome {
    RefusedWhileFiltered,  // the search filter is on: nothing packed
    RefusedWhileEditing,   // an entry is being edited or inserted: nothing touched
    Packed,                // packed; the user wanted no archive
    Archived,              // packed and archived
};

// The backup archive's full path: the data folder made absolute, then MGdata.zip.
std::filesystem::path archivePath(const AddressModule& module);

// Closes lookupTable if it is open and makes it shared, then packs addressTable. The engine's
// failure is rethrown once addressTable is shared and open again.
void packDatabase(AddressModule& module);

// Writes the table file and the memo file it uses (ADDRESS.fpt, or ADDRESS.dbt for a
// dBASE table) into the archive, opening it or creating it. A data file that is not there,
// or is a symbolic link, is skipped. addressTable is closed meanwhile, so that the files hold
// all it wrote; afterwards it is shared and open again on its first entry, whatever
// happened, and then a failure is rethrown. addressTable must not be editing.
ArchiveRun archiveAddressTable(AddressModule& module);

// The maintenance command, with its messages and question through `prompter`:
// refused while addressTable is filtered (reportTable is still closed) or while an entry is
// being edited; otherwise packs, asks whether to archive, archives and says where the
// archive is, and closes reportTable. A failure skips the closing of reportTable.
MaintenanceOutcome runFileMaintenance(AddressModule& module, platform::Prompter& prompter);

// The message shown after a successful archive run.
QString archiveWrittenMessage(const std::filesystem::path& archive);

}  // namespace store
