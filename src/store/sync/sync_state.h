#pragma once
// What one address book remembers between syncs, in one file beside its table: which entry
// goes with which card, the card's ETag, fingerprints of both sides as they were, and the
// server's sync token. It holds no credentials. The table files never change for it, and
// losing it is safe: the next sync matches entries and cards by their content.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store::sync {

using Fingerprint = uint64_t;

// Of a name or a memo as the table holds it (bytes in its code page).
Fingerprint fingerprint(std::string_view bytes);

struct Link {
    // The entry's record at the last sync; 0 when the entry is gone and its card still
    // waits to be deleted. Records keep their numbers until a pack; after one the
    // fingerprints below find the entry again (see sync_links.h).
    uint32_t record = 0;
    QString href;  // the card's path on the server
    QByteArray etag;
    Fingerprint name = 0, memo = 0;              // the entry at the last sync
    Fingerprint serverName = 0, serverMemo = 0;  // the entry the card made at the last sync
};

struct State {
    QString addressBook;  // the address book's URL: links to another one mean nothing
    QString syncToken;    // "" when the next sync must list every card
    // The table file at the last sync, as platform::fileIdentity says, and how many
    // records it had: a pack makes a new file and never leaves more records.
    std::string tableIdentity;
    uint32_t tableRecords = 0;
    std::vector<Link> links;
};

std::filesystem::path statePath(const std::filesystem::path& folder);  // ADDRESS.sync

// nullopt when there is no state file. Throws std::runtime_error with a message when the
// file is there but cannot be read or is damaged.
std::optional<State> readState(const std::filesystem::path& path);

// Replaces the file whole (see whole_file.h). Throws xbase::Error.
void writeState(const std::filesystem::path& path, const State& state);

}  // namespace store::sync
