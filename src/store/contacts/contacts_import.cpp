// Contacts into an address book: each card or row through the same save rules as a typed
// entry, with a report of everything that did not come over exactly.

#include <algorithm>
#include <fstream>

#include <platform/regular_file.h>
#include <xbase/error.h>

#include <store/address_book.h>
#include <store/address_rules.h>
#include <store/contacts_exchange.h>
#include "contacts_card.h"
#include "contacts_csv.h"
#include "contacts_fit.h"
#include "contacts_text.h"
#include "vcard_reader.h"

namespace store {
namespace {

// Larger than any address book's export with photos; a bigger file is not a contact list.
constexpr std::size_t kLargestFile = 256u << 20;
constexpr int kMostNumbered = 9999;  // "Name (2)" up to "Name (9999)"

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

class Importer {
  public:
    explicit Importer(AddressBook& book)
        : book_(book), text_(book.table().codePage()), fitter_(text_) {}

    void importFile(const std::filesystem::path& path) {
        const QString fileName = QString::fromStdString(path.filename().string());
        std::string bytes;
        try {
            bytes = platform::readRegularFile(path, kLargestFile);
        } catch (const platform::RegularFileError& e) {
            ++report_.unreadableFiles;
            line(fileName + QStringLiteral(": cannot be read (") +
                 QString::fromStdString(e.what()) + u')');
            return;
        }
        if (vcard::looksLikeVCard(bytes))
            importVCards(fileName, bytes);
        else
            importCsv(fileName, bytes);
    }

    bool stopped() const { return !report_.stoppedBy.empty(); }
    ImportReport& report() { return report_; }

  private:
    void importVCards(const QString& fileName, const std::string& bytes) {
        const vcard::File file = vcard::read(bytes);
        if (file.linesOutsideCards > 0)
            line(fileName + QStringLiteral(": %1 lines outside any card passed over")
                                .arg(file.linesOutsideCards));
        int number = 0;
        for (const vcard::Card& card : file.cards) {
            if (stopped()) return;
            const QString where = fileName + QStringLiteral(", card %1").arg(++number);
            ++report_.read;
            if (!card.damage.empty()) {
                ++report_.skipped;
                QString name;
                for (const vcard::Property& property : card.properties)
                    if (property.name == "FN" && name.isEmpty())
                        name = vcard::text(property, card.version()) + QStringLiteral(", ");
                line(where + QStringLiteral(" (%1line %2): damaged, %3; skipped")
                                 .arg(name)
                                 .arg(card.line)
                                 .arg(QString::fromStdString(card.damage)));
                continue;
            }
            add(where, contactFromCard(card));
        }
    }

    void importCsv(const QString& fileName, const std::string& bytes) {
        const CsvContacts table = contactsFromCsv(decodeUtf8OrWindows(withoutByteOrderMark(bytes)));
        if (!table.recognised) {
            ++report_.unreadableFiles;
            line(
                fileName +
                QStringLiteral(": neither a vCard file nor a table of contacts with a header row"));
            return;
        }
        if (!table.unknownColumns.isEmpty())
            line(fileName + QStringLiteral(": columns not imported: ") +
                 table.unknownColumns.join(QStringLiteral(", ")));
        for (const CsvContacts::Row& row : table.rows) {
            if (stopped()) return;
            const QString where = fileName + QStringLiteral(", row %1").arg(row.number);
            ++report_.read;
            if (!row.damage.isEmpty()) {
                ++report_.skipped;
                line(where + QStringLiteral(": damaged, ") + row.damage +
                     QStringLiteral("; skipped"));
                continue;
            }
            add(where, row.contact);
        }
    }

    void add(const QString& where, const Contact& contact) {
        const FittedEntry entry = fitter_.fit(draftEntry(contact));
        const QString label =
            where + QStringLiteral(" (") +
            (entry.cleanName.isEmpty() ? QStringLiteral("no name") : entry.cleanName) + u')';
        QStringList notes = entry.changes;
        const std::string& fitted = entry.name;
        if (isBlankName(fitted)) {
            ++report_.skipped;
            line(label + QStringLiteral(": no name to file it under; skipped"));
            return;
        }

        try {
            std::string saved = fitted;
            for (int number = 2;; ++number) {
                const std::vector<std::string> memos = book_.memosOfName(saved);
                if (memos.empty()) break;
                if (std::find(memos.begin(), memos.end(), entry.memo) != memos.end()) {
                    ++report_.alreadyThere;
                    return;
                }
                if (number > kMostNumbered) {
                    ++report_.skipped;
                    line(label + QStringLiteral(": too many entries with this name; skipped"));
                    return;
                }
                saved = fitter_.withSuffix(fitted, " (" + std::to_string(number) + ")");
            }
            book_.add(saved, entry.memo);
            report_.addedEntries.push_back(
                {text_.decode(saved).toStdString(), book_.table().bookmark()});
            ++report_.added;
            if (saved != fitted) {
                ++report_.renamed;
                notes << QStringLiteral("added as ") + quoted(text_.decode(saved)) +
                             QStringLiteral(", as another entry has this name");
            }
            if (entry.changed()) ++report_.changed;
        } catch (const RuleViolation& refusal) {
            ++report_.skipped;
            line(label + QStringLiteral(": ") + QString::fromStdString(refusal.what()) +
                 QStringLiteral("; skipped"));
            return;
        } catch (const xbase::Error& error) {
            ++report_.skipped;
            report_.stoppedBy = error.what();
            line(label + QStringLiteral(": ") + QString::fromStdString(error.what()) +
                 QStringLiteral("; the import stopped here"));
            return;
        }
        if (!contact.notImported.isEmpty())
            notes << QStringLiteral("not imported: ") +
                         contact.notImported.join(QStringLiteral(", "));
        if (!notes.isEmpty()) line(label + QStringLiteral(": ") + notes.join(QStringLiteral("; ")));
    }

    void line(const QString& text) { report_.lines.push_back(text.toStdString()); }

    AddressBook& book_;
    TableText text_;
    EntryFitter fitter_;
    ImportReport report_;
};

}  // namespace

std::string ImportReport::summary() const {
    return std::to_string(read) + " read, " + std::to_string(added) + " added, " +
           std::to_string(alreadyThere) + " already there, " + std::to_string(renamed) +
           " renamed, " + std::to_string(changed) + " changed, " + std::to_string(skipped) +
           " skipped";
}

std::string ImportReport::text() const {
    std::string out = summary() + "\n";
    for (const std::string& each : lines) out += each + "\n";
    return out;
}

bool isVCardFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return false;
    if (contactFileFormat(file) == ContactFileFormat::VCard) return true;
    std::ifstream in(file, std::ios::binary);
    std::string start(4096, '\0');
    in.read(start.data(), std::streamsize(start.size()));
    start.resize(std::size_t(in.gcount()));
    return vcard::looksLikeVCard(start);
}

ImportReport importContacts(AddressBook& book, const std::vector<std::filesystem::path>& files) {
    Importer importer(book);
    for (const std::filesystem::path& file : files) {
        if (importer.stopped()) break;
        importer.importFile(file);
    }
    return std::move(importer.report());
}

ImportReport importContacts(const std::filesystem::path& folder,
                            const std::vector<std::filesystem::path>& files) {
    if (!xbase::tableExists(folder, kTableFileName)) {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error)
            throw xbase::Error(xbase::ErrorKind::IoError, xbase::code::CreateFailed,
                               "Cannot create folder " + folder.string() + ": " + error.message());
        AddressBook::create(folder);
    }
    AddressBook book(folder);
    return importContacts(book, files);
}

}  // namespace store
