#pragma once
// What start-up does when the address book's files turn out to be damaged: it says what
// is wrong and offers to mend it (the index built again, or the table and memo file
// repaired after a copy of them is put aside), and never mends anything unasked.

#include <filesystem>

#include <xbase/error.h>

namespace platform {
class Prompter;
}

namespace app {

enum class DamagedPart {
    None,         // the error is no damage (a missing file, a table in use, a full disk)
    Index,        // ADDRESS.CDX: derived from the table, so it can be built again
    TableOrMemo,  // ADDRESS.DBF or its memo file: a repair may lose what is damaged
};

DamagedPart damagedPartOf(const xbase::Error& error);

enum class MendOutcome {
    NotOffered,  // the error is no damage this can mend
    Declined,    // the user said no: nothing was changed
    Mended,      // the index was rebuilt or the table repaired: open it again
};

// Asks the user whether to mend the damage `error` reports in the address book in
// `folder`, mends it when they agree, and says what was done and what was lost. The table
// must be closed. Throws xbase::Error when the mending itself fails.
MendOutcome offerToMendDamagedBook(const xbase::Error& error, const std::filesystem::path& folder,
                                   platform::Prompter& prompter);

}  // namespace app
