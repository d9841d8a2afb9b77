// The sync itself: what changed on each side since the last sync, and the one step that
// brings each entry and its card together again.

#include <QUuid>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include <platform/file_identity.h>
#include <xbase/error.h>

#include <store/address_book.h>
#include <store/address_rules.h>
#include <store/contacts_sync.h>
#include "carddav_client.h"
#include "contacts_card.h"
#include "contacts_fit.h"
#include "contacts_text.h"
#include "entry_card.h"
#include "sync_links.h"
#include "sync_state.h"
#include "vcard_reader.h"

namespace store {
namespace {

using carddav::Failure;
using sync::Fingerprint;
using sync::fingerprint;
using sync::Link;

constexpr int kFetchBatch = 100;
constexpr int kSaveEvery = 100;  // changes between saves of the state
constexpr int kMostNumbered = 9999;

struct LocalEntry {
    Entry entry;
    Fingerprint name = 0, memo = 0;
    bool linked = false;
};

// What a card on the server makes as an entry.
struct CardEntry {
    std::string damage;  // why it cannot be read; "" when it can
    FittedEntry fitted;
    Fingerprint name = 0, memo = 0;
    QStringList notImported;
};

// A card as this sync read it. Its bytes are kept only when an entry's text goes into it
// (an address book of photos would not fit in memory otherwise).
struct ServerCard {
    QString href;
    QByteArray etag;
    QByteArray data;
    CardEntry entry;
};

std::string nameKey(const std::string& name) {
    std::string key = upperAscii(name);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    return key;
}

bool succeeded(int status) {
    return status >= 200 && status < 300;
}

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

class Synchronizer {
  public:
    Synchronizer(AddressBook& book, const SyncSettings& settings, const SyncControl& control)
        : book_(book),
          settings_(settings),
          control_(control),
          text_(book.table().codePage()),
          fitter_(text_),
          statePath_(sync::statePath(book.folder())) {}

    SyncReport run() {
        try {
            carddav::Account account{QUrl(QString::fromStdString(settings_.server)),
                                     QString::fromStdString(settings_.user),
                                     QString::fromStdString(settings_.password),
                                     settings_.plainHttpConfirmed};
            client_ = std::make_unique<carddav::Client>(std::move(account), control_.cancel);
            sync();
        } catch (const Failure& failure) {
            report_.passwordRefused = failure.kind() == Failure::Kind::Authentication;
            stop(failure.what(), failure.kind() == Failure::Kind::Cancelled);
        } catch (const xbase::Error& error) {
            stop(std::string("The address book: ") + error.what(), false);
        } catch (const std::exception& error) {
            stop(error.what(), false);
        }
        return std::move(report_);
    }

  private:
    // ------------------------------------------------------------------ the whole sync

    void sync() {
        progress("Finding the address book");
        book_url_ = client_->findAddressBook();
        report_.addressBook = book_url_.toDisplayString(QUrl::RemoveUserInfo).toStdString();
        loadState();
        progress("Listing the cards on the server");
        listServer();
        progress("Reading the address book");
        readLocal();
        placeLinks();
        fetchWhatIsNeeded();

        started_ = true;
        total_ = int(links_.size() + newCards_.size()) + countUnlinkedLocal();
        for (size_t i = 0; i < links_.size(); ++i) step([&] { syncLink(i); });
        for (const QString& href : newCards_) step([&] { bringInOrMatch(href); });
        // Entries still without a card, the server's copies of conflicts among them.
        for (size_t i = 0; i < locals_.size(); ++i)
            if (!locals_[i].linked) step([&] { upload(locals_[i]); });
        saveState(!incomplete_);
        progress("Done", total_);
    }

    void stop(const std::string& why, bool cancelled) {
        report_.failure = why;
        report_.cancelled = cancelled;
        if (!started_) return;  // nothing changed: the state file stays as it was
        try {
            saveState(false);
        } catch (const std::exception& error) {
            report_.lines.push_back(std::string("The sync state could not be saved: ") +
                                    error.what());
        }
    }

    template <typename Action>
    void step(Action&& action) {
        if (control_.cancel && control_.cancel->load())
            throw Failure(Failure::Kind::Cancelled, "The sync was cancelled.");
        const int writesBefore = writes();
        action();
        ++done_;
        progress("Syncing", done_);
        // Saved now and then, so that a crash leaves little for the next sync to match.
        if (writes() / kSaveEvery != writesBefore / kSaveEvery) saveState(false);
    }

    void progress(const char* what, int done = 0, int total = -1) {
        if (control_.progress) control_.progress({what, done, total < 0 ? total_ : total});
    }

    int writes() const {
        return report_.uploaded + report_.downloaded + report_.cardsUpdated +
               report_.entriesUpdated + report_.cardsDeleted + report_.entriesDeleted;
    }

    void line(const QString& text) { report_.lines.push_back(text.toStdString()); }

    QString shown(const std::string& tableBytes) { return u'"' + text_.decode(tableBytes) + u'"'; }

    // ------------------------------------------------------------------ state

    void loadState() {
        std::optional<sync::State> state;
        try {
            state = sync::readState(statePath_);
        } catch (const std::exception& error) {
            line(QString::fromStdString(error.what()) +
                 QStringLiteral("; entries and cards were matched by their content."));
        }
        if (!state) return;
        if (state->addressBook != book_url_.toString(QUrl::FullyEncoded)) {
            line(
                QStringLiteral("The sync state was for another address book; entries and "
                               "cards were matched by their content."));
            return;
        }
        state_ = std::move(*state);
        links_ = state_.links;
    }

    void saveState(bool complete) {
        sync::State state;
        state.addressBook = book_url_.toString(QUrl::FullyEncoded);
        // A token only after a sync that missed nothing: the next one lists the changes
        // after it, and would never see again what this one left out.
        state.syncToken = complete ? newToken_ : QString();
        state.tableIdentity = platform::fileIdentity(book_.table().path());
        state.tableRecords = book_.table().physicalRecordCount();
        for (const Link& link : links_)
            if (!link.href.isEmpty()) state.links.push_back(link);
        sync::writeState(statePath_, state);
    }

    // ------------------------------------------------------------------ both sides now

    void listServer() {
        std::optional<carddav::Listing> listing;
        if (client_->offersSyncCollection()) {
            if (!state_.syncToken.isEmpty())
                listing = client_->changesSince(book_url_, state_.syncToken);
            if (!listing) listing = client_->changesSince(book_url_, QString());
        } else {
            listing = client_->listCards(book_url_);
        }
        newToken_ = listing->syncToken;
        if (listing->sinceToken) {
            for (const Link& link : links_) serverEtags_[link.href] = link.etag;
            for (const QString& href : listing->removed) serverEtags_.erase(href);
        }
        for (const carddav::CardVersion& card : listing->cards) serverEtags_[card.href] = card.etag;
    }

    void readLocal() {
        for (Entry& entry : book_.entries()) {
            LocalEntry local;
            local.name = fingerprint(entry.name);
            local.memo = fingerprint(entry.memo);
            local.entry = std::move(entry);
            locals_.push_back(std::move(local));
        }
        std::sort(locals_.begin(), locals_.end(), [](const LocalEntry& a, const LocalEntry& b) {
            return a.entry.record < b.entry.record;
        });
        indexLocals();
    }

    void indexLocals() {
        byRecord_.clear();
        for (size_t i = 0; i < locals_.size(); ++i) byRecord_[locals_[i].entry.record.recno] = i;
    }

    LocalEntry* localAt(uint32_t record) {
        const auto found = byRecord_.find(record);
        return found == byRecord_.end() ? nullptr : &locals_[found->second];
    }

    void placeLinks() {
        std::vector<sync::PresentRecord> records;
        records.reserve(locals_.size());
        for (const LocalEntry& local : locals_)
            records.push_back({local.entry.record.recno, local.name, local.memo});
        const bool sameTable =
            !state_.tableIdentity.empty() &&
            state_.tableIdentity == platform::fileIdentity(book_.table().path()) &&
            book_.table().physicalRecordCount() >= state_.tableRecords;
        const std::vector<uint32_t> placed = sync::placeLinks(links_, records, sameTable);
        std::set<QString> hrefs;
        for (size_t i = 0; i < links_.size(); ++i) {
            links_[i].record = placed[i];
            LocalEntry* local = localAt(placed[i]);
            // Two links on one entry or one card cannot both be right: the second goes.
            if ((local && local->linked) || !hrefs.insert(links_[i].href).second) {
                links_[i].href.clear();
                continue;
            }
            if (local) local->linked = true;
        }
    }

    // Every card this sync reads: the new ones, the changed ones, and those whose entry
    // changed (a card is updated from the version on the server, never from memory).
    void fetchWhatIsNeeded() {
        std::set<QString> linked, keepData;
        QStringList wanted;
        for (const Link& link : links_) {
            if (link.href.isEmpty()) continue;
            linked.insert(link.href);
            const auto server = serverEtags_.find(link.href);
            if (server == serverEtags_.end()) continue;
            const LocalEntry* local = localAt(link.record);
            const bool localChanged =
                local && (local->name != link.name || local->memo != link.memo);
            if (server->second != link.etag || localChanged) wanted << link.href;
            if (localChanged) keepData.insert(link.href);
        }
        for (const auto& [href, etag] : serverEtags_)
            if (!linked.count(href)) {
                newCards_.push_back(href);
                wanted << href;
            }
        for (qsizetype start = 0; start < wanted.size(); start += kFetchBatch) {
            progress("Fetching cards", int(start), int(wanted.size()));
            for (carddav::FetchedCard& card :
                 client_->fetchCards(book_url_, wanted.mid(start, kFetchBatch))) {
                ServerCard& kept = fetched_[card.href];
                kept.href = card.href;
                kept.etag = card.etag;
                kept.entry = entryOfCard(card.data);
                if (keepData.count(card.href)) kept.data = std::move(card.data);
            }
        }
    }

    int countUnlinkedLocal() const {
        return int(std::count_if(locals_.begin(), locals_.end(),
                                 [](const LocalEntry& local) { return !local.linked; }));
    }

    CardEntry entryOfCard(const QByteArray& data) {
        CardEntry result;
        const vcard::File file = vcard::read(withoutByteOrderMark(data.toStdString()));
        if (file.cards.size() != 1) {
            result.damage =
                file.cards.empty() ? "it holds no vCard" : "it holds more than one vCard";
            return result;
        }
        if (!file.cards.front().damage.empty()) {
            result.damage = file.cards.front().damage;
            return result;
        }
        const Contact contact = contactFromCard(file.cards.front());
        result.fitted = fitter_.fit(draftEntry(contact));
        if (isBlankName(result.fitted.name)) result.damage = "it has no name to file it under";
        result.name = fingerprint(result.fitted.name);
        result.memo = fingerprint(result.fitted.memo);
        result.notImported = contact.notImported;
        return result;
    }

    // ------------------------------------------------------------------ one link

    void syncLink(size_t index) {
        Link& link = links_[index];
        if (link.href.isEmpty()) return;
        LocalEntry* local = localAt(link.record);
        const bool localChanged = local && (local->name != link.name || local->memo != link.memo);
        const auto server = serverEtags_.find(link.href);
        const bool serverGone = server == serverEtags_.end();
        const bool serverChanged = !serverGone && server->second != link.etag;

        if (serverGone) {
            if (!local) {
                link.href.clear();  // gone on both sides
            } else if (!localChanged) {
                deleteEntry(link, *local);
            } else {
                line(shown(local->entry.name) +
                     QStringLiteral(
                         ": changed here but deleted on the server; sent again as a new card"));
                link.href.clear();
                local->linked = false;  // the uploads at the end take it
                ++total_;
            }
            return;
        }
        if (!local && !serverChanged) {
            deleteCard(link);
            return;
        }
        if (!localChanged && !serverChanged) {
            ++report_.unchanged;
            return;
        }
        const auto found = fetched_.find(link.href);
        if (found == fetched_.end()) {
            incomplete_ = true;  // gone between the listing and the fetch: next time
            return;
        }
        const ServerCard& card = found->second;
        const CardEntry& cardEntry = card.entry;
        if (!cardEntry.damage.empty()) {
            line(QStringLiteral("The card ") + card.href + QStringLiteral(" cannot be read (") +
                 QString::fromStdString(cardEntry.damage) + QStringLiteral("); left as it is."));
            incomplete_ = true;
            return;
        }
        // A card may change in what the entry does not show (a photo): that is no change
        // of the entry's content.
        const bool contentChanged =
            cardEntry.name != link.serverName || cardEntry.memo != link.serverMemo;
        if (!local) {
            if (contentChanged) {
                bringBack(link, card, cardEntry);
            } else {
                link.etag = card.etag;
                deleteCard(link);
            }
            return;
        }
        if (!contentChanged) {
            link.etag = card.etag;
            if (localChanged)
                updateCard(link, *local, card);
            else
                ++report_.unchanged;
            return;
        }
        if (!localChanged) {
            updateEntry(link, *local, card, cardEntry);
            return;
        }
        if (nameKey(cardEntry.fitted.name) == nameKey(local->entry.name) &&
            cardEntry.fitted.memo == local->entry.memo) {
            remember(link, *local, card.etag, cardEntry);  // the same change on both sides
            ++report_.unchanged;
            return;
        }
        conflict(link, *local, card, cardEntry);
    }

    void remember(Link& link, const LocalEntry& local, const QByteArray& etag,
                  const CardEntry& card) {
        link.record = local.entry.record.recno;
        link.etag = etag;
        link.name = local.name;
        link.memo = local.memo;
        link.serverName = card.name;
        link.serverMemo = card.memo;
    }

    // The entry's text into the card as the server has it now.
    bool updateCard(Link& link, LocalEntry& local, const ServerCard& card) {
        const std::string data = cardUpdatedFromEntry(card.data.toStdString(), text_, local.entry);
        if (data.empty()) {
            line(shown(local.entry.name) + QStringLiteral(": its card on the server cannot be "
                                                          "read, so it was left as it is."));
            incomplete_ = true;
            return false;
        }
        const carddav::Reply reply =
            client_->putCard(book_url_, link.href, QByteArray::fromStdString(data), card.etag);
        if (reply.status == 412) {
            line(shown(local.entry.name) +
                 QStringLiteral(": its card changed on the server during the sync; the next "
                                "sync brings the two together."));
            incomplete_ = true;
            return false;
        }
        if (!succeeded(reply.status)) {
            line(shown(local.entry.name) +
                 QStringLiteral(": the server refused the change of its card (HTTP %1).")
                     .arg(reply.status));
            incomplete_ = true;
            return false;
        }
        remember(link, local, reply.etag, entryOfCard(QByteArray::fromStdString(data)));
        ++report_.cardsUpdated;
        return true;
    }

    void updateEntry(Link& link, LocalEntry& local, const ServerCard& card,
                     const CardEntry& cardEntry) {
        // The name follows the card only when the card's name changed: an entry renamed
        // here to keep names unique keeps that name.
        const bool renamed = cardEntry.name != link.serverName;
        const std::string name =
            renamed ? uniqueName(cardEntry.fitted.name, local.entry.record) : local.entry.name;
        if (name.empty()) {
            line(shown(cardEntry.fitted.name) +
                 QStringLiteral(": too many entries with this name; left as it is."));
            incomplete_ = true;
            return;
        }
        if (!writeEntry(local, name, cardEntry.fitted.memo)) return;
        remember(link, local, card.etag, cardEntry);
        ++report_.entriesUpdated;
        noteChanges(local.entry.name, cardEntry, renamed && name != cardEntry.fitted.name);
    }

    bool writeEntry(LocalEntry& local, const std::string& name, const std::string& memo) {
        try {
            book_.setEntryAt(local.entry.record, name, memo);
            book_.entryAt(local.entry.record, local.entry);
        } catch (const RuleViolation& refusal) {
            line(shown(local.entry.name) + QStringLiteral(": ") +
                 QString::fromStdString(refusal.what()));
            incomplete_ = true;
            return false;
        } catch (const xbase::Error& error) {
            // A record another program is editing stays as it is; the next sync tries again.
            if (error.kind() != xbase::ErrorKind::Locked) throw;
            line(shown(local.entry.name) + QStringLiteral(": ") +
                 QString::fromStdString(error.what()));
            incomplete_ = true;
            return false;
        }
        local.name = fingerprint(local.entry.name);
        local.memo = fingerprint(local.entry.memo);
        return true;
    }

    void conflict(Link& link, LocalEntry& local, const ServerCard& card,
                  const CardEntry& cardEntry) {
        // The entry keeps its text and the card takes it; the server's version lives on
        // as an entry of its own (and, uploaded at the end, as a card of its own).
        ++report_.conflicts;
        const std::string copyName = fitter_.withSuffix(cardEntry.fitted.name, " (server copy)");
        // A sync stopped part-way may have brought the copy in already.
        std::string saved = uniqueName(copyName, {}, cardEntry.fitted.memo);
        if (!saved.empty() && !book_.recordsNamed(saved).empty()) {
            line(shown(local.entry.name) +
                 QStringLiteral(": changed here and on the server; the "
                                "server's version is the entry ") +
                 shown(saved) + u'.');
        } else {
            if (saved.empty()) {
                line(shown(local.entry.name) +
                     QStringLiteral(": changed here and on the server, "
                                    "and no name is left for the server's copy; left as it is."));
                incomplete_ = true;
                return;
            }
            const xbase::Bookmark record = book_.add(saved, cardEntry.fitted.memo);
            addLocal(record);
            line(shown(local.entry.name) +
                 QStringLiteral(": changed here and on the server; the "
                                "server's version was added as ") +
                 shown(saved) + u'.');
            ++total_;  // its upload
        }
        updateCard(link, local, card);
    }

    void deleteEntry(Link& link, LocalEntry& local) {
        try {
            book_.removeAt(local.entry.record);
        } catch (const xbase::Error& error) {
            if (error.kind() != xbase::ErrorKind::Locked) throw;
            line(shown(local.entry.name) + QStringLiteral(": ") +
                 QString::fromStdString(error.what()));
            incomplete_ = true;
            return;
        }
        line(shown(local.entry.name) +
             QStringLiteral(": deleted on the server, so deleted here "
                            "(it can be recovered until the next pack)."));
        link.href.clear();
        ++report_.entriesDeleted;
    }

    void deleteCard(Link& link) {
        const carddav::Reply reply = client_->deleteCard(book_url_, link.href, link.etag);
        if (reply.status == 412) {
            incomplete_ = true;  // changed on the server meanwhile: the next sync brings it back
            return;
        }
        if (!succeeded(reply.status) && reply.status != 404) {
            line(QStringLiteral("The server refused to delete the card ") + link.href +
                 QStringLiteral(" (HTTP %1).").arg(reply.status));
            incomplete_ = true;
            return;
        }
        link.href.clear();
        ++report_.cardsDeleted;
    }

    // An entry deleted here whose card changed on the server: the change wins.
    void bringBack(Link& link, const ServerCard& card, const CardEntry& cardEntry) {
        LocalEntry* local = addEntry(card, cardEntry);
        if (!local) return;
        remember(link, *local, card.etag, cardEntry);
        line(shown(local->entry.name) +
             QStringLiteral(": deleted here but changed on the server; brought back."));
    }

    // ------------------------------------------------------------------ unlinked

    // A card no entry goes with: the entry that says the same is its entry (a first sync,
    // a lost state file, a sync stopped after the upload); else it comes in as a new one.
    void bringInOrMatch(const QString& href) {
        const auto found = fetched_.find(href);
        if (found == fetched_.end()) {
            incomplete_ = true;
            return;
        }
        const ServerCard& card = found->second;
        const CardEntry& cardEntry = card.entry;
        if (!cardEntry.damage.empty()) {
            line(QStringLiteral("The card ") + href + QStringLiteral(" cannot be brought in (") +
                 QString::fromStdString(cardEntry.damage) + QStringLiteral(")."));
            return;
        }
        Link link;
        link.href = href;
        for (const xbase::Bookmark record : book_.recordsNamed(cardEntry.fitted.name)) {
            LocalEntry* local = localAt(record.recno);
            if (local && !local->linked && local->entry.memo == cardEntry.fitted.memo) {
                local->linked = true;
                remember(link, *local, card.etag, cardEntry);
                links_.push_back(link);
                ++report_.matched;
                --total_;  // no upload for it
                return;
            }
        }
        LocalEntry* local = addEntry(card, cardEntry);
        if (!local) return;
        remember(link, *local, card.etag, cardEntry);
        links_.push_back(link);
        ++report_.downloaded;
    }

    LocalEntry* addEntry(const ServerCard& card, const CardEntry& cardEntry) {
        const std::string name = uniqueName(cardEntry.fitted.name, {});
        if (name.empty()) {
            line(QStringLiteral("The card ") + card.href +
                 QStringLiteral(": too many entries with this name; not brought in."));
            incomplete_ = true;
            return nullptr;
        }
        LocalEntry* local = addLocal(book_.add(name, cardEntry.fitted.memo));
        local->linked = true;
        noteChanges(name, cardEntry, name != cardEntry.fitted.name);
        return local;
    }

    LocalEntry* addLocal(xbase::Bookmark record) {
        LocalEntry local;
        book_.entryAt(record, local.entry);
        local.name = fingerprint(local.entry.name);
        local.memo = fingerprint(local.entry.memo);
        locals_.push_back(std::move(local));
        byRecord_[record.recno] = locals_.size() - 1;
        return &locals_.back();
    }

    void upload(LocalEntry& local) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            const QString href = book_url_.path(QUrl::FullyEncoded) + uid + QStringLiteral(".vcf");
            const std::string data =
                entryCard(text_, local.entry, "urn:uuid:" + uid.toStdString(), false);
            const carddav::Reply reply =
                client_->putCard(book_url_, href, QByteArray::fromStdString(data), {});
            if (reply.status == 412) continue;  // the name is taken after all: another one
            if (!succeeded(reply.status)) {
                line(shown(local.entry.name) +
                     QStringLiteral(": the server refused its new card (HTTP %1).")
                         .arg(reply.status));
                incomplete_ = true;
                return;
            }
            Link link;
            link.href = href;
            remember(link, local, reply.etag, entryOfCard(QByteArray::fromStdString(data)));
            links_.push_back(link);
            local.linked = true;
            ++report_.uploaded;
            return;
        }
        incomplete_ = true;
    }

    // `name`, or "name (2)", "name (3)", ... : the first that no entry but `self` has.
    // With `sameMemo`, a name whose entry already holds that memo is taken as it is.
    // "" when even the numbers run out.
    std::string uniqueName(const std::string& name, xbase::Bookmark self,
                           const std::string& sameMemo = {}) {
        std::string candidate = name;
        for (int number = 2; number <= kMostNumbered + 1; ++number) {
            bool taken = false;
            for (const xbase::Bookmark record : book_.recordsNamed(candidate)) {
                if (record == self) continue;
                Entry other;
                if (!sameMemo.empty() && book_.entryAt(record, other) && other.memo == sameMemo)
                    return candidate;
                taken = true;
            }
            if (!taken) return candidate;
            candidate = fitter_.withSuffix(name, " (" + std::to_string(number) + ")");
        }
        return {};
    }

    void noteChanges(const std::string& savedName, const CardEntry& card, bool renamed) {
        QStringList notes = card.fitted.changes;
        if (renamed)
            notes << QStringLiteral("named ") + shown(savedName) +
                         QStringLiteral(", as another entry has the card's name");
        if (!card.notImported.isEmpty())
            notes << QStringLiteral("kept on the server only: ") +
                         card.notImported.join(QStringLiteral(", "));
        if (!notes.isEmpty())
            line(shown(savedName) + QStringLiteral(": ") + notes.join(QStringLiteral("; ")));
    }

    AddressBook& book_;
    const SyncSettings& settings_;
    const SyncControl& control_;
    TableText text_;
    EntryFitter fitter_;
    std::filesystem::path statePath_;
    std::unique_ptr<carddav::Client> client_;
    SyncReport report_;

    QUrl book_url_;
    sync::State state_;
    std::vector<Link> links_;
    std::map<QString, QByteArray> serverEtags_;  // every card on the server now
    QString newToken_;
    // Present entries by record, new ones at the end; a deque, so that adding an entry
    // leaves the references to the others good.
    std::deque<LocalEntry> locals_;
    std::unordered_map<uint32_t, size_t> byRecord_;
    std::vector<QString> newCards_;
    std::map<QString, ServerCard> fetched_;

    bool started_ = false;     // changes may have been made: the state must be saved
    bool incomplete_ = false;  // something was left for the next sync
    int done_ = 0, total_ = 0;
};

}  // namespace

std::string SyncReport::summary() const {
    return counted(uploaded, "entry sent", "entries sent") + ", " +
           counted(downloaded, "card brought in", "cards brought in") + ", " +
           counted(cardsUpdated, "card updated", "cards updated") + ", " +
           counted(entriesUpdated, "entry updated", "entries updated") + ", " +
           counted(cardsDeleted, "card deleted", "cards deleted") + ", " +
           counted(entriesDeleted, "entry deleted", "entries deleted") + ", " +
           std::to_string(conflicts) + " changed on both sides, " + std::to_string(matched) +
           " matched, " + std::to_string(unchanged) + " unchanged";
}

std::string SyncReport::text() const {
    const bool didSomething = uploaded + downloaded + cardsUpdated + entriesUpdated + cardsDeleted +
                                  entriesDeleted + conflicts + matched + unchanged >
                              0;
    std::string out;
    if (!addressBook.empty()) out += "Address book: " + addressBook + "\n";
    if (!failed() || didSomething) out += summary() + "\n";
    for (const std::string& each : lines) out += each + "\n";
    if (failed()) {
        out += (cancelled ? "" : "The sync stopped: ") + failure + "\n";
        if (didSomething) out += "What was done is kept; the next sync finishes the work.\n";
    }
    return out;
}

bool needsPlainHttpConfirmation(const std::string& server) {
    const QUrl url(QString::fromStdString(server));
    return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 &&
           !carddav::isLoopback(url);
}

SyncReport syncAddressBook(AddressBook& book, const SyncSettings& settings,
                           const SyncControl& control) {
    return Synchronizer(book, settings, control).run();
}

}  // namespace store
