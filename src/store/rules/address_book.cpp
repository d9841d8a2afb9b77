#include <store/address_book.h>

#include <cctype>
#include <cstdio>
#include <random>

#include <xbase/error.h>

#include <store/address_rules.h>

namespace store {
namespace {

xbase::OpenOptions exclusiveOpen() {
    xbase::OpenOptions options;
    options.mode = xbase::ShareMode::Exclusive;
    return options;
}

}  // namespace

std::filesystem::path AddressBook::tablePath(const std::filesystem::path& folder) {
    return folder / kTableFileName;
}

void AddressBook::create(const std::filesystem::path& folder) {
    xbase::createTable(tablePath(folder), xbase::parseFieldList(kFieldList));
    xbase::Cursor table;
    table.open(tablePath(folder), exclusiveOpen());
    table.createIndex(kTagName, kKeyExpression);
}

AddressBook::AddressBook(const std::filesystem::path& folder, xbase::ShareMode mode)
    : folder_(folder) {
    xbase::OpenOptions options;
    options.mode = mode;
    options.index = kTagName;
    table_.open(tablePath(folder), options);
}

bool AddressBook::findFirst(std::string_view name) {
    std::string wanted(name);
    while (!wanted.empty() && wanted.back() == ' ') wanted.pop_back();
    if (!table_.seekExact(upperAscii(wanted))) return false;
    // Equal keys follow each other; the exact spelling is among them or nowhere.
    const int nameField = table_.requireField(kNameField);
    const std::string key = upperAscii(wanted);
    for (;;) {
        const std::string here = table_.text(nameField);
        if (here == wanted) return true;
        table_.next();
        if (table_.eof() || upperAscii(table_.text(nameField)) != key) return false;
    }
}

xbase::Cursor& AddressBook::lookup() {
    if (!lookup_.isOpen()) {
        xbase::OpenOptions options;
        options.index = kTagName;
        lookup_.open(tablePath(folder_), options);
    }
    return lookup_;
}

void AddressBook::visitNamed(std::string_view name,
                             const std::function<void(xbase::Cursor&)>& visit) {
    std::string key = upperAscii(name);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    xbase::Cursor& cursor = lookup();
    if (!cursor.seekExact(key)) return;
    const int nameField = cursor.requireField(kNameField);
    for (; !cursor.eof() && upperAscii(cursor.text(nameField)) == key; cursor.next()) visit(cursor);
}

std::vector<std::string> AddressBook::memosOfName(std::string_view name) {
    std::vector<std::string> memos;
    visitNamed(name, [&memos](xbase::Cursor& cursor) {
        memos.push_back(cursor.memo(cursor.requireField(kInfoField)));
    });
    return memos;
}

void AddressBook::save(bool inserting) {
    const std::string name = table_.text(table_.requireField(kNameField));
    const std::string refusal =
        checkSave(inserting, name, [this](std::string_view n) { return nameExists(lookup(), n); });
    if (!refusal.empty()) {
        table_.cancel();
        throw RuleViolation(refusal);
    }
    stampLastDate(table_);
    table_.post();
}

xbase::Bookmark AddressBook::add(std::string_view name, std::string_view memo) {
    table_.append();
    table_.setText(table_.requireField(kNameField), name);
    table_.setMemo(table_.requireField(kInfoField), memo);
    save(true);
    return table_.bookmark();
}

void AddressBook::rename(std::string_view oldName, std::string_view newName) {
    if (!findFirst(oldName)) throw RuleViolation("No entry named " + std::string(oldName));
    table_.edit();
    table_.setText(table_.requireField(kNameField), newName);
    save(false);
}

void AddressBook::setMemo(std::string_view name, std::string_view memo) {
    if (!findFirst(name)) throw RuleViolation("No entry named " + std::string(name));
    table_.edit();
    table_.setMemo(table_.requireField(kInfoField), memo);
    save(false);
}

void AddressBook::remove(std::string_view name) {
    if (!findFirst(name)) throw RuleViolation("No entry named " + std::string(name));
    table_.deleteRecord();
}

std::vector<Entry> AddressBook::entries() {
    std::vector<Entry> out;
    const int nameField = table_.requireField(kNameField);
    const int infoField = table_.requireField(kInfoField);
    const int dateField = table_.requireField(kLastDateField);
    for (table_.first(); !table_.eof(); table_.next())
        out.push_back({table_.text(nameField), table_.memo(infoField), table_.date(dateField),
                       table_.bookmark()});
    return out;
}

bool AddressBook::entryAt(xbase::Bookmark record, Entry& entry) {
    if (!table_.gotoBookmark(record)) return false;
    entry = {table_.text(table_.requireField(kNameField)),
             table_.memo(table_.requireField(kInfoField)),
             table_.date(table_.requireField(kLastDateField)), record};
    return true;
}

void AddressBook::setEntryAt(xbase::Bookmark record, std::string_view name, std::string_view memo) {
    if (!table_.gotoBookmark(record))
        throw RuleViolation("Entry " + std::to_string(record.recno) + " is no longer there");
    table_.edit();
    table_.setText(table_.requireField(kNameField), name);
    table_.setMemo(table_.requireField(kInfoField), memo);
    save(false);
}

void AddressBook::removeAt(xbase::Bookmark record) {
    if (!table_.gotoBookmark(record))
        throw RuleViolation("Entry " + std::to_string(record.recno) + " is no longer there");
    table_.deleteRecord();
}

std::vector<xbase::Bookmark> AddressBook::recordsNamed(std::string_view name) {
    std::vector<xbase::Bookmark> records;
    visitNamed(name, [&records](xbase::Cursor& cursor) { records.push_back(cursor.bookmark()); });
    return records;
}

// ---------------------------------------------------------------- damaged books

namespace {

std::vector<xbase::TagDefinition> addressTags() {
    return {{kTagName, kKeyExpression, {}}};
}

}  // namespace

xbase::IndexRebuild rebuildAddressIndex(const std::filesystem::path& folder) {
    return xbase::rebuildIndex(AddressBook::tablePath(folder), addressTags());
}

xbase::RepairReport repairAddressBook(const std::filesystem::path& folder) {
    xbase::RepairOptions options;
    options.knownTags = addressTags();
    return xbase::repairTable(AddressBook::tablePath(folder), options);
}

// ---------------------------------------------------------------- generated books

namespace {

const char* const kFirstNames[] = {"Anna",   "Ben",  "Clara", "David", "Emma", "Felix", "Grace",
                                   "Henry",  "Iris", "Jack",  "Karen", "Liam", "Maria", "Noah",
                                   "Olivia", "Paul", "Quinn", "Rosa",  "Sam",  "Tara",  "Umar",
                                   "Vera",   "Walt", "Xena",  "Yusuf", "Zoe"};
const char* const kLastNames[] = {
    "Adams",  "Baker",    "Carter", "Dixon",  "Evans",  "Fischer", "Garcia",    "Hughes", "Ito",
    "Jensen", "Kowalski", "Lopez",  "Miller", "Nguyen", "O'Brien", "Patel",     "Quinn",  "Rossi",
    "Smith",  "Tanaka",   "Ullman", "Varga",  "Weber",  "Young",   "Zimmermann"};
const char* const kStreets[] = {"Oak Street",   "Maple Avenue", "High Street", "Elm Road",
                                "Station Road", "Park Lane",    "Mill Lane",   "Church Street",
                                "River View",   "Hill Crest"};
const char* const kCities[] = {"Springfield, IL 62704", "Portland, OR 97205", "Austin, TX 78701",
                               "Madison, WI 53703",     "Boulder, CO 80302",  "Salem, MA 01970"};
const char* const kDomains[] = {"example.com", "mail.example.org", "post.example.net",
                                "inbox.example.com"};
const char* const kNotes[] = {"Met at the spring conference.",
                              "Prefers calls in the morning.",
                              "Birthday in June.",
                              "Owes me a book.",
                              "Plays the cello.",
                              "Allergic to peanuts.",
                              "Likes long walks.",
                              "Ask about the garden."};
const char* const kFiles[] = {"C:\\Music\\Favourites\\track%02u.mp3",
                              "/home/shared/music/mix%02u.ogg",
                              "~/Documents/letters/letter%02u.odt", "D:\\Photos\\holiday%02u.jpg"};

// 32-bit draws, so that they print with %u everywhere.
class Draw {
  public:
    explicit Draw(uint32_t seed) : engine_(seed == 0 ? 1 : seed) {}
    unsigned operator()() { return static_cast<unsigned>(engine_()); }

  private:
    std::minstd_rand engine_;  // cheap to seed, which happens once per entry
};

template <size_t N>
const char* pick(Draw& rng, const char* const (&list)[N]) {
    return list[rng() % N];
}

}  // namespace

Entry generatedEntry(uint32_t seed, uint32_t index) {
    Draw rng(seed * 2654435761u + index);
    Entry e;
    const std::string first = pick(rng, kFirstNames);
    const std::string last = pick(rng, kLastNames);
    char number[16];
    std::snprintf(number, sizeof number, "%05u", index % 100000);
    e.name = last + ", " + first + " " + number;
    std::string lower = first;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    char buf[256];
    std::snprintf(buf, sizeof buf, "%u %s\r\n%s\r\n", 1 + rng() % 999, pick(rng, kStreets),
                  pick(rng, kCities));
    e.memo += buf;
    std::snprintf(buf, sizeof buf, "Home: (%03u) %03u-%04u\r\nWork: %03u-%03u-%04u\r\n",
                  200 + rng() % 700, 200 + rng() % 700, rng() % 10000, 200 + rng() % 700,
                  200 + rng() % 700, rng() % 10000);
    e.memo += buf;
    std::snprintf(buf, sizeof buf, "Email: %s.%s%u@%s\r\n", lower.c_str(), last.c_str(),
                  index % 1000, pick(rng, kDomains));
    e.memo += buf;
    std::snprintf(buf, sizeof buf, "Web: www.%s-%u.example.com/home.html\r\n", lower.c_str(),
                  index % 977);
    e.memo += buf;
    char file[128];
    std::snprintf(file, sizeof file, pick(rng, kFiles), rng() % 100);
    e.memo += "File: " + std::string(file) + "\r\n";
    e.memo += pick(rng, kNotes);
    e.lastDate = xbase::Date{2015 + static_cast<int>(rng() % 11), 1 + static_cast<int>(rng() % 12),
                             1 + static_cast<int>(rng() % 28)};
    return e;
}

void generateAddressBook(const std::filesystem::path& folder, const GenerateOptions& options) {
    xbase::createTable(AddressBook::tablePath(folder), xbase::parseFieldList(kFieldList));
    xbase::Cursor table;
    table.open(AddressBook::tablePath(folder), exclusiveOpen());
    const int nameField = table.requireField(kNameField);
    const int infoField = table.requireField(kInfoField);
    const int dateField = table.requireField(kLastDateField);
    for (uint32_t i = 0; i < options.count; ++i) {
        const Entry e = generatedEntry(options.seed, i);
        table.append();
        table.setText(nameField, e.name);
        table.setMemo(infoField, e.memo);
        table.setDate(dateField, e.lastDate);
        table.post();
    }
    if (options.withIndex) table.createIndex(kTagName, kKeyExpression);
}

}  // namespace store
