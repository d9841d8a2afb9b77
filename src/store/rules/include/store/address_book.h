#pragma once
// An address book folder driven without a user interface: what cardhold-db and the
// benchmarks use. Every change goes through the save rules of address_rules.h.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <xbase/cursor.h>
#include <xbase/repair.h>

namespace store {

struct Entry {
    std::string name;
    std::string memo;
    xbase::Date lastDate;
    xbase::Bookmark record;  // where it is in the table (until the next pack)
};

class AddressBook {
  public:
    // Opens ADDRESS.DBF in `folder` in name order. Throws xbase::Error.
    explicit AddressBook(const std::filesystem::path& folder,
                         xbase::ShareMode mode = xbase::ShareMode::Shared);

    // Makes an empty address book (table, memo file, index) in `folder`, which must
    // exist and hold no ADDRESS.DBF.
    static void create(const std::filesystem::path& folder);
    static std::filesystem::path tablePath(const std::filesystem::path& folder);

    xbase::Cursor& table() { return table_; }
    const std::filesystem::path& folder() const { return folder_; }

    // Each acts on the first entry with exactly this name (trailing blanks ignored) and
    // throws RuleViolation when the rules refuse, or when there is no such entry.
    xbase::Bookmark add(std::string_view name, std::string_view memo);  // where it went
    void rename(std::string_view oldName, std::string_view newName);
    void setMemo(std::string_view name, std::string_view memo);
    void remove(std::string_view name);

    // Positions on the first entry (in name order) named exactly `name`.
    bool findFirst(std::string_view name);
    // The memos of the entries whose name the duplicate check takes for `name` (upper
    // case, trailing blanks ignored); none when the name is free.
    std::vector<std::string> memosOfName(std::string_view name);
    std::vector<Entry> entries();  // in name order, deleted entries left out

    // The same by record, for callers that keep records apart whose names repeat. Each
    // throws RuleViolation when the rules refuse, or when the record is gone or deleted.
    bool entryAt(xbase::Bookmark record, Entry& entry);  // false when gone or deleted
    void setEntryAt(xbase::Bookmark record, std::string_view name, std::string_view memo);
    void removeAt(xbase::Bookmark record);
    // Every record whose name the duplicate check takes for `name`.
    std::vector<xbase::Bookmark> recordsNamed(std::string_view name);

  private:
    void save(bool inserting);
    // Calls `visit` with the lookup cursor on each entry the duplicate check takes for `name`.
    void visitNamed(std::string_view name, const std::function<void(xbase::Cursor&)>& visit);
    xbase::Cursor& lookup();

    std::filesystem::path folder_;
    xbase::Cursor table_;
    xbase::Cursor lookup_;
};

// The address book's index built again from its entries, also when ADDRESS.CDX cannot be
// read: its ADDRESS tag is known. Nothing may have the table open.
xbase::IndexRebuild rebuildAddressIndex(const std::filesystem::path& folder);

// Repairs a damaged address book (see xbase::repairTable), its ADDRESS tag known.
xbase::RepairReport repairAddressBook(const std::filesystem::path& folder);

struct GenerateOptions {
    uint32_t count = 1000;
    uint32_t seed = 1;
    bool withIndex = true;  // build the ADDRESS tag after the entries
};

// Fills a new address book in `folder` with realistic entries: names, postal
// addresses, phone numbers, e-mail and web addresses, file names.
void generateAddressBook(const std::filesystem::path& folder, const GenerateOptions& options);

// One generated entry (deterministic for a seed and an index).
Entry generatedEntry(uint32_t seed, uint32_t index);

}  // namespace store
