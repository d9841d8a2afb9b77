#pragma once
// Two-way sync of an address book with one CardDAV address book (RFC 6352).
//
// Entries travel as the vCards export writes; a card someone else made keeps everything
// the entry does not map (photos, addresses, a phone's own fields), since only the entry's
// properties are written into it. Which entry goes with which card lives in ADDRESS.sync
// beside the table (see sync_state.h); the table itself is never changed in format.
//
// Nothing is lost on either side: a write goes only to the card version last seen
// (If-Match, If-None-Match), an entry and a card both changed since the last sync keep the
// entry's text and bring the server's version in as a second entry named as the server's
// copy, and a failure part-way leaves both sides as they were after the last step done:
// the next sync finishes the work without duplicates. Credentials go into the requests
// only: never into the state file, the report or any message.
//
// No widgets: the window and cardhold-db both call syncAddressBook. It waits for the
// server in local event loops, so the program needs a QCoreApplication (or QApplication),
// and a window stays responsive; it runs on the thread that owns the address book.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace store {

class AddressBook;

struct SyncSettings {
    std::string server;  // "https://host/…": the server's base address or the address book's
    std::string user;
    std::string password;
    // The user agreed to plain http:// to this server. Without it plain http goes only to
    // an address on this machine (localhost, 127.0.0.0/8, ::1).
    bool plainHttpConfirmed = false;
};

struct SyncProgress {
    std::string step;  // "Fetching cards", ...
    int done = 0;
    int total = 0;  // 0 while the amount of work is not known
};

struct SyncControl {
    std::function<void(const SyncProgress&)> progress;  // called often; keep it quick
    // Set (from the progress callback, a button, another thread) to stop at the next
    // request; the work done so far is kept and the report says the sync was cancelled.
    const std::atomic<bool>* cancel = nullptr;
};

struct SyncReport {
    std::string addressBook;  // the address book synced with, once found
    int uploaded = 0;         // new entries sent as new cards
    int downloaded = 0;       // new cards brought in as entries
    int cardsUpdated = 0;     // cards changed from their entries
    int entriesUpdated = 0;   // entries changed from their cards
    int cardsDeleted = 0;     // because their entries were deleted
    int entriesDeleted = 0;   // because their cards were deleted (recoverable until a pack)
    int conflicts = 0;        // changed on both sides: the server's version added as an entry
    int matched = 0;          // an entry and a card found to be the same, now linked
    int unchanged = 0;
    // One line for each entry or card that needs the user's eye: conflicts, deletions,
    // renames to keep names unique, letters replaced, cards left alone and why.
    std::vector<std::string> lines;
    std::string failure;  // why the sync stopped before the end; "" when it went through
    bool cancelled = false;
    bool passwordRefused = false;  // the server refused the user name or password

    bool failed() const { return !failure.empty(); }
    // "2 sent, 1 brought in, 0 cards updated, 3 entries updated, 0 cards deleted,
    //  1 entry deleted, 1 changed on both sides, 0 matched, 120 unchanged"
    std::string summary() const;
    std::string text() const;  // the address book, the summary, the lines, the failure
};

SyncReport syncAddressBook(AddressBook& book, const SyncSettings& settings,
                           const SyncControl& control = {});

// Whether this server address is plain http:// to another machine: the user must confirm
// it (SyncSettings::plainHttpConfirmed) before a sync sends the password there.
bool needsPlainHttpConfirmation(const std::string& server);

}  // namespace store
