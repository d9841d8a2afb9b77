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

// Names and memos from elsewhere may hold control characters; in a name they would make
// a line of the grid look like two.
QString withoutControlCharacters(const QString& name) {
    QString out = name;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = u' ';
    return out.trimmed();
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

class Importer {
  public:
    explicit Importer(AddressBook& book) : book_(book), text_(book.table().codePage()) {}

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

    // The name cut to the name field, whole characters only, without trailing blanks.
    std::string fittedName(const std::string& bytes, const QString& fallbackText, bool& cut) {
        cut = bytes.size() > size_t(kNameWidth);
        if (!cut) return bytes;
        QString text = fallbackText;
        std::string fitted = bytes;
        while (fitted.size() > size_t(kNameWidth) && !text.isEmpty()) {
            text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
            fitted = text_.encode(text).bytes;
        }
        return trimmedRight(fitted);
    }

    // "Name (n)" within the name field: the name gives way to the number.
    std::string numbered(const std::string& name, int number) {
        const std::string suffix = " (" + std::to_string(number) + ")";
        std::string base = name;
        if (base.size() + suffix.size() > size_t(kNameWidth)) {
            QString text = text_.decode(base);
            while (!text.isEmpty() &&
                   text_.encode(text).bytes.size() + suffix.size() > size_t(kNameWidth))
                text.chop(1);
            base = trimmedRight(text_.encode(text).bytes);
        }
        return base + suffix;
    }

    void add(const QString& where, const Contact& contact) {
        const DraftEntry draft = draftEntry(contact);
        const QString cleanName = withoutControlCharacters(draft.name);
        const QString label = where + QStringLiteral(" (") +
                              (cleanName.isEmpty() ? QStringLiteral("no name") : cleanName) + u')';
        QStringList notes;
        bool changed = false;

        if (cleanName != draft.name.trimmed()) {
            notes << QStringLiteral("line breaks and control characters in the name became blanks");
            changed = true;
        }
        const TableText::Encoded name = text_.encode(cleanName);
        const TableText::Encoded memo = text_.encode(draft.memo);
        if (!name.replaced.isEmpty() || !memo.replaced.isEmpty()) {
            QStringList replaced = name.replaced;
            for (const QString& change : memo.replaced)
                if (!replaced.contains(change)) replaced << change;
            notes << QStringLiteral("letters this address book cannot hold replaced: ") +
                         replaced.join(QStringLiteral(", "));
            changed = true;
        }
        bool cut = false;
        const std::string fitted = fittedName(trimmedRight(name.bytes), cleanName, cut);
        if (cut) {
            notes << QStringLiteral("name cut to %1 characters").arg(kNameWidth);
            changed = true;
        }
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
                if (std::find(memos.begin(), memos.end(), memo.bytes) != memos.end()) {
                    ++report_.alreadyThere;
                    return;
                }
                if (number > kMostNumbered) {
                    ++report_.skipped;
                    line(label + QStringLiteral(": too many entries with this name; skipped"));
                    return;
                }
                saved = numbered(fitted, number);
            }
            book_.add(saved, memo.bytes);
            report_.addedEntries.push_back(
                {text_.decode(saved).toStdString(), book_.table().bookmark()});
            ++report_.added;
            if (saved != fitted) {
                ++report_.renamed;
                notes << QStringLiteral("added as ") + quoted(text_.decode(saved)) +
                             QStringLiteral(", as another entry has this name");
            }
            if (changed) ++report_.changed;
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
