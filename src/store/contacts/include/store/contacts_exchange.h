#pragma once
// Contacts in and out of an address book: vCard (2.1, 3.0, 4.0) and CSV files.
//
// Import turns every card or row into an entry that passes the same save rules as a typed
// one, keeps names unique ("Name (2)"), fits the text to the table's code page, and says
// in its report what it could not bring over exactly. Export writes one card or row per
// entry with the phone numbers, e-mail and web addresses the memo scanner finds, and the
// whole memo as the note, so an export imported again gives the same entries.
//
// All texts in and out of this interface are UTF-8. No widgets: the window and cardhold-db
// both call these two functions.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <xbase/types.h>

namespace store {

class AddressBook;

struct ImportReport {
    struct AddedEntry {
        std::string name;  // as saved
        xbase::Bookmark record;
    };

    int read = 0;          // cards and rows found, damaged ones included
    int added = 0;         // entries written, renamed and changed ones included
    int alreadyThere = 0;  // the same name with the same memo was there already
    int renamed = 0;       // added as "Name (2)", "Name (3)", ...
    int changed = 0;       // added with letters replaced or the name cut
    int skipped = 0;       // damaged, or refused by the save rules
    int unreadableFiles = 0;
    std::string stoppedBy;  // the table's error that ended the import early, if any
    // One line for each file that could not be read and each card or row that did not
    // come over exactly, in the order met.
    std::vector<std::string> lines;
    std::vector<AddedEntry> addedEntries;  // in the order added

    // True when nothing could be read, a file could not be read or the import stopped.
    bool failed() const { return read == 0 || unreadableFiles > 0 || !stoppedBy.empty(); }
    // "5 read, 3 added, 1 already there, 1 renamed, 0 changed, 1 skipped"
    std::string summary() const;
    std::string text() const;  // the summary and the lines, one per line
};

// Imports every file (each vCard or CSV, told apart by its content) into `book`.
ImportReport importContacts(AddressBook& book, const std::vector<std::filesystem::path>& files);

// The same into the address book in `folder`, made first (folder and table) when missing.
ImportReport importContacts(const std::filesystem::path& folder,
                            const std::vector<std::filesystem::path>& files);

enum class ContactFileFormat { VCard, Csv };

// ".vcf" (or ".vcard") and ".csv" in any letter case; nullopt for anything else.
std::optional<ContactFileFormat> contactFileFormat(const std::filesystem::path& file);

// Whether `file` is a regular file of vCards: its name ends in ".vcf" or ".vcard", or it
// starts (after a byte-order mark and blank lines) with BEGIN:VCARD. Reads a few KiB at most.
bool isVCardFile(const std::filesystem::path& file);

struct ExportOptions {
    bool vcard4 = false;  // vCard 4.0 instead of 3.0
    // The entries to export, by name (every entry with the name, in this order); all
    // entries in name order when not given. The window passes the names of the selected
    // rows or of the rows it shows.
    std::optional<std::vector<std::string>> names;
};

struct ExportReport {
    int written = 0;  // entries
    int phones = 0, emails = 0, webs = 0;
    std::vector<std::string> lines;  // names asked for that no entry has
    std::string failure;             // why nothing was written, if so

    bool failed() const { return written == 0 || !failure.empty(); }
    std::string summary()
        const;  // "3 entries written: 4 phone numbers, 2 e-mail addresses, 1 web address"
    std::string text() const;
};

// Writes the entries of `book` to `file` (format from its extension), replacing the file
// only once the whole export is on the disk, and never writing through a symbolic link.
ExportReport exportContacts(AddressBook& book, const std::filesystem::path& file,
                            const ExportOptions& options = {});
ExportReport exportContacts(const std::filesystem::path& folder, const std::filesystem::path& file,
                            const ExportOptions& options = {});

}  // namespace store
