// Entries out of an address book as vCards or CSV rows: the items the memo scanner finds
// as phone numbers, e-mail and web addresses, and the whole memo as the note.

#include <QUuid>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include <links/memo_scanner.h>
#include <xbase/error.h>

#include <store/address_book.h>
#include <store/address_rules.h>
#include <store/contacts_exchange.h>
#include "contacts_text.h"
#include "csv_format.h"
#include "entry_card.h"
#include "vcard_reader.h"
#include "vcard_writer.h"
#include "whole_file.h"

namespace store {
namespace {

// UIDs are name-based UUIDs (version 5) in this namespace: the same name gives the same
// UID in every export, so a program that imports the file again updates its card.
const QUuid kUidNamespace(QStringLiteral("{6d1f7c52-3b0e-4b8a-9c1e-5a0f2c7d9e41}"));

struct Phone {
    std::string type;  // "home", "work", "cell", "fax", "pager"; empty when the line says none
    QString number;
};

struct ExportedEntry {
    QString name;
    QString memo;
    xbase::Date date;
    std::string uid;
    std::vector<Phone> phones;
    QStringList emails, webs;
};

std::vector<std::string_view> memoLines(std::string_view memo) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= memo.size()) {
        size_t end = memo.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = memo.size();
        lines.push_back(memo.substr(start, end - start));
        if (end < memo.size() && memo[end] == '\r' && end + 1 < memo.size() &&
            memo[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

// The phone type a memo line's first word names: "Home: 555-1234", "cell 555-0100".
std::string typeOfLine(std::string_view line) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    size_t end = start;
    while (end < line.size() && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
    const std::string word = upperAscii(line.substr(start, end - start));
    if (word == "HOME") return "home";
    if (word == "WORK" || word == "OFFICE" || word == "BUSINESS") return "work";
    if (word == "CELL" || word == "MOBILE") return "cell";
    if (word == "FAX") return "fax";
    if (word == "PAGER") return "pager";
    return {};
}

// The scanner keeps what stands around an address ("(a@b.c", "a@b.c,"); a card wants
// the address alone.
QString bareEmail(QString email) {
    static const QString around = QStringLiteral("(<\"',;)>[]");
    while (!email.isEmpty() && around.contains(email.front())) email.remove(0, 1);
    while (!email.isEmpty() && around.contains(email.back())) email.chop(1);
    return email;
}

// A card's URL is an absolute address; the desktop opens a bare www. address the same way.
QString absoluteWeb(const QString& web) {
    return web.startsWith(QLatin1String("www."), Qt::CaseInsensitive)
               ? QStringLiteral("http://") + web
               : web;
}

ExportedEntry exportedEntry(TableText& text, const std::string& name, const std::string& memo,
                            xbase::Date date) {
    ExportedEntry entry{text.decode(name), text.decode(memo), date, {}, {}, {}, {}};
    for (std::string_view line : memoLines(memo)) {
        std::vector<std::string> phones;
        links::findPhoneNumbers(line, phones);
        const std::string type = phones.empty() ? std::string() : typeOfLine(line);
        for (auto phone = phones.rbegin(); phone != phones.rend(); ++phone)  // found right to left
            entry.phones.push_back({type, text.decode(*phone)});
        const QString email = bareEmail(text.decode(links::findEmailAddress(line)));
        if (email.contains(u'@')) entry.emails << email;
        const std::string web = links::findWebAddress(line);
        if (!web.empty()) entry.webs << absoluteWeb(text.decode(web));
    }
    return entry;
}

// "Family, Given": split at the first comma; a name without one is all family name.
std::pair<QString, QString> nameParts(const QString& name) {
    const qsizetype comma = name.indexOf(u',');
    if (comma < 0) return {name.trimmed(), {}};
    return {name.left(comma).trimmed(), name.mid(comma + 1).trimmed()};
}

std::string upperCopy(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

std::string twoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// The properties an entry maps to (kEntryProperties), in that order.
void appendEntryProperties(std::string& out, const ExportedEntry& entry, bool version4) {
    using vcard::appendLine;
    using vcard::escaped;
    appendLine(out, "FN", escaped(entry.name));
    const auto [family, given] = nameParts(entry.name);
    appendLine(out, "N", escaped(family) + ";" + escaped(given) + ";;;");
    for (const Phone& phone : entry.phones) {
        const std::string number = escaped(phone.number);
        const std::string type = version4 ? phone.type : upperCopy(phone.type);
        std::string head = type.empty() ? "TEL" : "TEL;TYPE=" + type;
        const bool uri =
            version4 && number.find_first_not_of("0123456789+-.()") == std::string::npos;
        if (uri)
            appendLine(out, "TEL;VALUE=uri" + head.substr(3), "tel:" + number);
        else
            appendLine(out, head, number);
    }
    for (const QString& email : entry.emails)
        appendLine(out, version4 ? "EMAIL" : "EMAIL;TYPE=INTERNET", escaped(email));
    for (const QString& web : entry.webs) appendLine(out, "URL", escaped(web));
    if (!entry.memo.isEmpty()) appendLine(out, "NOTE", escaped(entry.memo));
    if (!entry.date.empty() && entry.date.valid()) {
        const std::string year = std::to_string(entry.date.year);
        const std::string month = twoDigits(entry.date.month);
        const std::string day = twoDigits(entry.date.day);
        if (version4)
            appendLine(out, "REV", year + month + day + "T000000Z");
        else
            appendLine(out, "REV;VALUE=date", year + "-" + month + "-" + day);
    }
}

void appendCard(std::string& out, const ExportedEntry& entry, bool version4) {
    using vcard::appendLine;
    appendLine(out, "BEGIN", "VCARD");
    appendLine(out, "VERSION", version4 ? "4.0" : "3.0");
    appendLine(out, "PRODID", "-//Marigold//Cardhold//EN");
    appendLine(out, "UID", vcard::escaped(QString::fromStdString(entry.uid)));
    appendEntryProperties(out, entry, version4);
    appendLine(out, "END", "VCARD");
}

bool isEntryProperty(const std::string& name) {
    for (const char* mapped : kEntryProperties)
        if (name == mapped) return true;
    return false;
}

// Apple's labels of an item group ("item1.X-ABLabel"): they name the item beside them and
// mean nothing once it is gone.
bool isGroupLabel(const std::string& name) {
    return name.rfind("X-AB", 0) == 0;
}

std::string csvFile(const std::vector<ExportedEntry>& entries) {
    size_t phones = 0, emails = 0, webs = 0;
    for (const ExportedEntry& entry : entries) {
        phones = std::max(phones, entry.phones.size());
        emails = std::max(emails, size_t(entry.emails.size()));
        webs = std::max(webs, size_t(entry.webs.size()));
    }
    QStringList header{QStringLiteral("Name")};
    for (size_t i = 1; i <= phones; ++i) header << QStringLiteral("Phone %1").arg(i);
    for (size_t i = 1; i <= emails; ++i) header << QStringLiteral("Email %1").arg(i);
    for (size_t i = 1; i <= webs; ++i) header << QStringLiteral("Web %1").arg(i);
    header << QStringLiteral("Memo");
    QString out;
    csv::appendRecord(out, header);
    for (const ExportedEntry& entry : entries) {
        QStringList row{entry.name};
        for (size_t i = 0; i < phones; ++i)
            row << (i < entry.phones.size() ? entry.phones[i].number : QString());
        for (qsizetype i = 0; i < qsizetype(emails); ++i) row << entry.emails.value(i);
        for (qsizetype i = 0; i < qsizetype(webs); ++i) row << entry.webs.value(i);
        row << entry.memo;
        csv::appendRecord(out, row);
    }
    return "\xEF\xBB\xBF" + out.toStdString();  // spreadsheets read UTF-8 only behind its mark
}

class Exporter {
  public:
    explicit Exporter(AddressBook& book)
        : book_(book),
          text_(book.table().codePage()),
          nameField_(book.table().requireField(kNameField)),
          infoField_(book.table().requireField(kInfoField)),
          dateField_(book.table().requireField(kLastDateField)) {}

    void collectAll() {
        xbase::Cursor& table = book_.table();
        for (table.first(); !table.eof(); table.next()) collectCurrent();
    }

    void collectNamed(const std::vector<std::string>& names, ExportReport& report) {
        std::set<std::string> done;
        xbase::Cursor& table = book_.table();
        for (const std::string& asked : names) {
            const TableText::Encoded wanted = text_.encode(QString::fromStdString(asked));
            std::string name = wanted.bytes;
            while (!name.empty() && name.back() == ' ') name.pop_back();
            if (!done.insert(name).second) continue;
            if (!wanted.replaced.isEmpty() || !book_.findFirst(name)) {
                report.lines.push_back("No entry named \"" + asked + "\"");
                continue;
            }
            const std::string key = upperAscii(name);
            for (; !table.eof() && upperAscii(table.text(nameField_)) == key; table.next())
                if (table.text(nameField_) == name) collectCurrent();
        }
    }

    const std::vector<ExportedEntry>& entries() const { return entries_; }

  private:
    void collectCurrent() {
        xbase::Cursor& table = book_.table();
        const std::string name = table.text(nameField_);
        ExportedEntry entry =
            exportedEntry(text_, name, table.memo(infoField_), table.date(dateField_));
        // Entries that share a name still get UIDs of their own.
        const int seen = ++namesSeen_[name];
        QByteArray uidSeed = entry.name.toUtf8();
        if (seen > 1) uidSeed += "\n" + QByteArray::number(seen);
        entry.uid = "urn:uuid:" + QUuid::createUuidV5(kUidNamespace, uidSeed)
                                      .toString(QUuid::WithoutBraces)
                                      .toStdString();
        entries_.push_back(std::move(entry));
    }

    AddressBook& book_;
    TableText text_;
    int nameField_, infoField_, dateField_;
    std::map<std::string, int> namesSeen_;
    std::vector<ExportedEntry> entries_;
};

std::string counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::optional<ContactFileFormat> contactFileFormat(const std::filesystem::path& file) {
    const std::string extension = upperCopy(file.extension().string());
    if (extension == ".VCF" || extension == ".VCARD") return ContactFileFormat::VCard;
    if (extension == ".CSV") return ContactFileFormat::Csv;
    return std::nullopt;
}

std::string ExportReport::summary() const {
    if (!failure.empty()) return "Nothing exported: " + failure;
    return counted(written, "entry", "entries") +
           " written: " + counted(phones, "phone number", "phone numbers") + ", " +
           counted(emails, "e-mail address", "e-mail addresses") + ", " +
           counted(webs, "web address", "web addresses");
}

std::string ExportReport::text() const {
    std::string out = summary() + "\n";
    for (const std::string& each : lines) out += each + "\n";
    return out;
}

ExportReport exportContacts(AddressBook& book, const std::filesystem::path& file,
                            const ExportOptions& options) {
    ExportReport report;
    const std::optional<ContactFileFormat> format = contactFileFormat(file);
    if (!format) {
        report.failure = "the file name must end in .vcf or .csv";
        return report;
    }
    Exporter exporter(book);
    if (options.names)
        exporter.collectNamed(*options.names, report);
    else
        exporter.collectAll();
    const std::vector<ExportedEntry>& entries = exporter.entries();
    if (entries.empty()) {
        report.failure = "there are no entries to export";
        return report;
    }
    std::string bytes;
    if (*format == ContactFileFormat::Csv) {
        bytes = csvFile(entries);
    } else {
        for (const ExportedEntry& entry : entries) appendCard(bytes, entry, options.vcard4);
    }
    try {
        writeWholeFile(file, bytes, ".export-");
    } catch (const xbase::Error& error) {
        report.failure = error.what();
        return report;
    }
    for (const ExportedEntry& entry : entries) {
        ++report.written;
        report.phones += int(entry.phones.size());
        report.emails += int(entry.emails.size());
        report.webs += int(entry.webs.size());
    }
    return report;
}

std::string entryCard(TableText& text, const Entry& entry, const std::string& uid, bool version4) {
    ExportedEntry exported = exportedEntry(text, entry.name, entry.memo, entry.lastDate);
    exported.uid = uid;
    std::string out;
    appendCard(out, exported, version4);
    return out;
}

std::string cardUpdatedFromEntry(std::string_view cardBytes, TableText& text, const Entry& entry) {
    const std::string bytes = withoutByteOrderMark(cardBytes);
    const vcard::File file = vcard::read(bytes);
    if (file.cards.size() != 1 || !file.cards.front().damage.empty()) return {};
    const vcard::Card& card = file.cards.front();

    // Groups that lose an item lose its labels too, unless something else stays in them.
    std::set<std::string> emptiedGroups, keptGroups;
    for (const vcard::Property& property : card.properties) {
        if (property.group.empty()) continue;
        if (isEntryProperty(property.name))
            emptiedGroups.insert(property.group);
        else if (!isGroupLabel(property.name))
            keptGroups.insert(property.group);
    }
    const auto dropped = [&](const vcard::Property& property) {
        if (isEntryProperty(property.name)) return true;
        return isGroupLabel(property.name) && emptiedGroups.count(property.group) > 0 &&
               keptGroups.count(property.group) == 0;
    };

    std::string entryProperties;
    appendEntryProperties(entryProperties,
                          exportedEntry(text, entry.name, entry.memo, entry.lastDate),
                          card.version() == "4.0");
    std::string out = "BEGIN:VCARD\r\n";
    bool placed = false;
    for (const vcard::Property& property : card.properties) {
        if (dropped(property)) {
            // The entry's properties go where the first of the old ones stood.
            if (!placed && isEntryProperty(property.name)) out += entryProperties;
            placed = placed || isEntryProperty(property.name);
            continue;
        }
        out.append(bytes, property.begin, property.end - property.begin);
        if (out.back() != '\n') out += "\r\n";  // the card's last line may lack its end
    }
    if (!placed) out += entryProperties;
    out += "END:VCARD\r\n";
    return out;
}

ExportReport exportContacts(const std::filesystem::path& folder, const std::filesystem::path& file,
                            const ExportOptions& options) {
    AddressBook book(folder);
    return exportContacts(book, file, options);
}

}  // namespace store
