#include "contacts_card.h"

#include <QHash>
#include <QSet>

#include <algorithm>

#include <links/memo_scanner.h>

#include "contacts_text.h"
#include "vcard_reader.h"

namespace store {
namespace {

QString joined(const QStringList& parts, const QString& separator) {
    QStringList kept;
    for (const QString& part : parts)
        if (!part.trimmed().isEmpty()) kept << part.trimmed();
    return kept.join(separator);
}

// "Family, Given" read back the way the export splits it: at the first comma.
bool saysTheSameName(const QString& formatted, const QString& family, const QString& rest) {
    const qsizetype comma = formatted.indexOf(u',');
    const QString before = (comma < 0 ? formatted : formatted.left(comma)).trimmed();
    const QString after = comma < 0 ? QString() : formatted.mid(comma + 1).trimmed();
    return before == family && after == rest;
}

QString entryName(const Contact& contact) {
    const QString family = contact.family.trimmed();
    if (!family.isEmpty()) {
        const QString rest = joined({contact.given, contact.middle}, QStringLiteral(" "));
        if (saysTheSameName(contact.formattedName, family, rest))
            return contact.formattedName.trimmed();
        return rest.isEmpty() ? family : family + QStringLiteral(", ") + rest;
    }
    if (!contact.formattedName.trimmed().isEmpty()) return contact.formattedName.trimmed();
    for (const QString& organisation : contact.organisations)
        if (!organisation.trimmed().isEmpty()) return organisation.trimmed();
    for (const QString& email : contact.emails)
        if (!email.trimmed().isEmpty()) return email.trimmed();
    return {};
}

// What the notes already say, seen as the memo scanner sees it: a number written
// "(206)555-1234" is the item "206-555-1234".
class NoteItems {
  public:
    explicit NoteItems(const QStringList& notes) {
        for (const QString& note : notes) {
            text_ += note + u'\n';
            for (const QString& line : splitLines(note)) {
                if (!line.trimmed().isEmpty()) lines_.insert(line.trimmed());
                const std::string bytes = line.toStdString();
                std::vector<std::string> phones;
                links::findPhoneNumbers(bytes, phones);
                for (const std::string& phone : phones) items_ << QString::fromStdString(phone);
                items_ << QString::fromStdString(links::findEmailAddress(bytes))
                       << QString::fromStdString(links::findWebAddress(bytes));
            }
        }
    }

    bool holdsPhone(const QString& number) const {
        return text_.contains(number) || items_.contains(number);
    }

    // A line of the memo (an organisation, a title, "Birthday: …") that a note has as a
    // line of its own: a card whose note is a whole memo holds these twice.
    bool holdsLine(const QString& line) const { return lines_.contains(line.trimmed()); }

    bool holdsAddress(const QString& address) const {
        if (text_.contains(address, Qt::CaseInsensitive) ||
            items_.contains(address, Qt::CaseInsensitive))
            return true;
        // The export writes a bare www. address as http://www.…; the notes keep it bare.
        static const QString http = QStringLiteral("http://");
        return address.startsWith(http, Qt::CaseInsensitive) &&
               holdsAddress(address.mid(http.size()));
    }

  private:
    QString text_;
    QStringList items_;
    QSet<QString> lines_;
};

void addLine(QStringList& lines, const NoteItems& noteItems, const QString& label,
             const QString& value) {
    const QString line = label + QStringLiteral(": ") + value.trimmed();
    if (!value.trimmed().isEmpty() && !noteItems.holdsLine(line)) lines << line;
}

void addLine(QStringList& lines, const NoteItems& noteItems, const QString& line) {
    if (!line.trimmed().isEmpty() && !noteItems.holdsLine(line)) lines << line.trimmed();
}

}  // namespace

QString phoneLabel(const QStringList& typesOrLabels) {
    const QString all = typesOrLabels.join(u' ');
    const auto has = [&all](const char* word) {
        return all.contains(QLatin1String(word), Qt::CaseInsensitive);
    };
    if (has("fax")) return QStringLiteral("Fax");
    if (has("pager")) return QStringLiteral("Pager");
    if (has("cell") || has("mobile") || has("iphone")) return QStringLiteral("Cell");
    if (has("home")) return QStringLiteral("Home");
    if (has("work") || has("business") || has("office")) return QStringLiteral("Work");
    return QStringLiteral("Phone");
}

QStringList addressLines(const QString& postOfficeBox, const QString& extended,
                         const QString& street, const QString& city, const QString& region,
                         const QString& postcode, const QString& country) {
    QStringList lines;
    for (const QString& part : {postOfficeBox, extended, street})
        for (const QString& line : splitLines(part))
            if (!line.trimmed().isEmpty()) lines << line.trimmed();
    const QString regionAndCode = joined({region, postcode}, QStringLiteral(" "));
    const QString cityLine = joined({city, regionAndCode}, QStringLiteral(", "));
    if (!cityLine.isEmpty()) lines << cityLine;
    if (!country.trimmed().isEmpty()) lines << country.trimmed();
    return lines;
}

QString dateAsWritten(const QString& value) {
    QString date = value.trimmed();
    const qsizetype time = date.indexOf(u'T');
    if (time == 8 || time == 10) date.truncate(time);
    bool digits = date.size() == 8;
    for (QChar c : date) digits = digits && c.isDigit();
    if (digits) return date.left(4) + u'-' + date.mid(4, 2) + u'-' + date.mid(6, 2);
    return date;
}

DraftEntry draftEntry(const Contact& contact) {
    const NoteItems noteItems(contact.notes);
    QStringList lines;
    for (const QString& organisation : contact.organisations)
        addLine(lines, noteItems, organisation);
    for (const QString& title : contact.titles) addLine(lines, noteItems, title);
    for (const QStringList& address : contact.addresses) {
        const bool held = std::all_of(address.begin(), address.end(), [&](const QString& line) {
            return noteItems.holdsLine(line);
        });
        if (!held) lines << address;
    }
    for (const Contact::Phone& phone : contact.phones)
        if (!noteItems.holdsPhone(phone.number.trimmed()))
            addLine(lines, noteItems, phone.label, phone.number);
    for (const QString& email : contact.emails)
        if (!noteItems.holdsAddress(email.trimmed()))
            addLine(lines, noteItems, QStringLiteral("Email"), email);
    for (const QString& web : contact.webs)
        if (!noteItems.holdsAddress(web.trimmed()))
            addLine(lines, noteItems, QStringLiteral("Web"), web);
    for (const QString& date : contact.birthdays)
        addLine(lines, noteItems, QStringLiteral("Birthday"), dateAsWritten(date));
    for (const QString& date : contact.anniversaries)
        addLine(lines, noteItems, QStringLiteral("Anniversary"), dateAsWritten(date));
    for (const QString& nickname : contact.nicknames)
        addLine(lines, noteItems, QStringLiteral("Nickname"), nickname);
    for (const QString& note : contact.notes)
        if (!note.isEmpty()) lines << note;
    return {entryName(contact), withCrLf(lines.join(u'\n'))};
}

// ---------------------------------------------------------------- from a vCard

namespace {

// Properties that say something about the file rather than the person: nothing of the
// person is lost when they are passed over.
bool isBookkeeping(const std::string& name) {
    static const char* const kNames[] = {
        "VERSION",   "PRODID",      "REV",        "UID",
        "X-ABLABEL", "X-ABUID",     "X-ABADR",    "CLIENTPIDMAP",
        "KIND",      "SORT-STRING", "NAME",       "SOURCE",
        "PROFILE",   "MAILER",      "X-ABSHOWAS", "X-MS-OL-DEFAULT-POSTAL-ADDRESS"};
    for (const char* known : kNames)
        if (name == known) return true;
    return false;
}

QString withoutScheme(QString value, const QString& scheme) {
    value = value.trimmed();
    if (value.startsWith(scheme, Qt::CaseInsensitive)) value.remove(0, scheme.size());
    return value;
}

// Apple's own labels come wrapped: "_$!<Mobile>!$_".
QString bareLabel(QString label) {
    if (label.startsWith(QLatin1String("_$!<")) && label.endsWith(QLatin1String(">!$_")))
        label = label.mid(4, label.size() - 8);
    return label;
}

void noteNotImported(Contact& contact, const QString& what) {
    if (!contact.notImported.contains(what)) contact.notImported << what;
}

}  // namespace

Contact contactFromCard(const vcard::Card& card) {
    const std::string version = card.version();
    QHash<QString, QString> groupLabels;  // item1 → its X-ABLabel
    bool hasAddress = false;
    for (const vcard::Property& property : card.properties) {
        if (property.name == "X-ABLABEL" && !property.group.empty())
            groupLabels.insert(QString::fromStdString(property.group),
                               bareLabel(vcard::text(property, version)));
        hasAddress = hasAddress || property.name == "ADR";
    }

    Contact contact;
    for (const vcard::Property& property : card.properties) {
        const std::string& name = property.name;
        const bool blank = property.value.find_first_not_of(" \t;") == std::string::npos;
        if (blank && name != "AGENT" && name != "NOTE") continue;
        if (isBookkeeping(name)) continue;
        if (property.isBinary()) {
            noteNotImported(contact, QString::fromStdString(name));
            continue;
        }
        const QString value = vcard::text(property, version).trimmed();
        if (name == "FN") {
            if (contact.formattedName.isEmpty()) contact.formattedName = value;
        } else if (name == "N") {
            const QStringList parts = vcard::components(property, version);
            contact.family = parts.value(0).trimmed();
            contact.given = parts.value(1).trimmed();
            contact.middle = parts.value(2).trimmed();
            if (!parts.value(3).trimmed().isEmpty())
                noteNotImported(contact,
                                QStringLiteral("name prefix \"%1\"").arg(parts.value(3).trimmed()));
            if (!parts.value(4).trimmed().isEmpty())
                noteNotImported(contact,
                                QStringLiteral("name suffix \"%1\"").arg(parts.value(4).trimmed()));
        } else if (name == "ORG") {
            contact.organisations << joined(vcard::components(property, version),
                                            QStringLiteral(", "));
        } else if (name == "TITLE") {
            contact.titles << value;
        } else if (name == "ADR") {
            const QStringList p = vcard::components(property, version);
            contact.addresses << addressLines(p.value(0), p.value(1), p.value(2), p.value(3),
                                              p.value(4), p.value(5), p.value(6));
        } else if (name == "LABEL") {
            // The printable form of an address; only wanted when the card has no ADR.
            if (!hasAddress) contact.addresses << addressLines({}, {}, value, {}, {}, {}, {});
        } else if (name == "TEL") {
            QStringList types;
            for (const std::string& type : property.parameterValues("TYPE"))
                types << QString::fromStdString(type);
            types << groupLabels.value(QString::fromStdString(property.group));
            contact.phones << Contact::Phone{phoneLabel(types),
                                             withoutScheme(value, QStringLiteral("tel:"))};
        } else if (name == "EMAIL") {
            contact.emails << withoutScheme(value, QStringLiteral("mailto:"));
        } else if (name == "URL") {
            contact.webs << value;
        } else if (name == "BDAY") {
            contact.birthdays << value;
        } else if (name == "ANNIVERSARY") {
            contact.anniversaries << value;
        } else if (name == "NICKNAME") {
            contact.nicknames << value;
        } else if (name == "NOTE") {
            contact.notes << vcard::text(property, version);
        } else {
            noteNotImported(contact, QString::fromStdString(name));
        }
    }
    return contact;
}

}  // namespace store
