#include "contacts_csv.h"

#include <QMap>
#include <QRegularExpression>

#include <array>
#include <cstring>
#include <map>

#include "csv_format.h"

namespace store {
namespace {

enum class Role {
    Unknown,
    Bookkeeping,  // describes another column (its type or label) or the file, not the person
    FormattedName,
    Given,
    Middle,
    Family,
    Prefix,
    Suffix,
    Nickname,
    Organisation,
    Department,
    JobTitle,
    Note,
    Birthday,
    BirthYear,
    BirthMonth,
    BirthDay,
    Anniversary,
    Email,
    Phone,       // label from the column's own name ("Home Phone") or its group's label column
    PhoneLabel,  // "Phone 1 - Type" of a web address book
    Web,
    Address,
    EventValue,
    EventType,
};

enum AddressPart {
    PostOfficeBox,
    Extended,
    Street,
    City,
    Region,
    Postcode,
    Country,
    Formatted,
    PartCount
};

struct Column {
    Role role = Role::Unknown;
    QString header;
    QString group;  // "address 1", "home", "phone 2": columns that belong together
    AddressPart part = Street;
};

const std::map<QString, Role>& exactHeaders() {
    static const std::map<QString, Role> headers = {
        {"name", Role::FormattedName},
        {"display name", Role::FormattedName},
        {"full name", Role::FormattedName},
        {"given name", Role::Given},
        {"first name", Role::Given},
        {"first", Role::Given},
        {"additional name", Role::Middle},
        {"middle name", Role::Middle},
        {"family name", Role::Family},
        {"last name", Role::Family},
        {"surname", Role::Family},
        {"last", Role::Family},
        {"name prefix", Role::Prefix},
        {"title", Role::Prefix},
        {"prefix", Role::Prefix},
        {"name suffix", Role::Suffix},
        {"suffix", Role::Suffix},
        {"nickname", Role::Nickname},
        {"company", Role::Organisation},
        {"organization", Role::Organisation},
        {"organisation", Role::Organisation},
        {"organization name", Role::Organisation},
        {"department", Role::Department},
        {"organization department", Role::Department},
        {"job title", Role::JobTitle},
        {"organization title", Role::JobTitle},
        {"notes", Role::Note},
        {"note", Role::Note},
        {"memo", Role::Note},
        {"birthday", Role::Birthday},
        {"birth year", Role::BirthYear},
        {"birth month", Role::BirthMonth},
        {"birth day", Role::BirthDay},
        {"anniversary", Role::Anniversary},
        {"file as", Role::Bookkeeping},
        {"e-mail type", Role::Bookkeeping},
    };
    return headers;
}

bool addressPart(const QString& text, AddressPart& part) {
    static const std::map<QString, AddressPart> parts = {
        {"po box", PostOfficeBox},
        {"address po box", PostOfficeBox},
        {"extended address", Extended},
        {"street", Street},
        {"street 2", Street},
        {"street 3", Street},
        {"address", Street},
        {"address 2", Street},
        {"city", City},
        {"state", Region},
        {"region", Region},
        {"postal code", Postcode},
        {"zipcode", Postcode},
        {"zip code", Postcode},
        {"zip", Postcode},
        {"country", Country},
        {"country/region", Country},
        {"formatted", Formatted},
    };
    const auto found = parts.find(text);
    if (found == parts.end()) return false;
    part = found->second;
    return true;
}

Column classify(const QString& header) {
    Column column;
    column.header = header.trimmed();
    const QString key = header.toLower().simplified();
    if (const auto found = exactHeaders().find(key); found != exactHeaders().end()) {
        column.role = found->second;
        return column;
    }
    // Numbered groups of a web address book: "Phone 1 - Value", "Address 2 - City".
    static const QRegularExpression numbered(QStringLiteral("^(.+ \\d+) - (.+)$"));
    if (const auto match = numbered.match(key); match.hasMatch()) {
        column.group = match.captured(1);
        const QString kind = column.group.section(u' ', 0, -2);
        const QString part = match.captured(2);
        if (part == QLatin1String("type") || part == QLatin1String("label")) {
            column.role = kind == QLatin1String("phone")   ? Role::PhoneLabel
                          : kind == QLatin1String("event") ? Role::EventType
                                                           : Role::Bookkeeping;
        } else if (kind == QLatin1String("address")) {
            column.role = addressPart(part, column.part) ? Role::Address : Role::Unknown;
        } else if (kind == QLatin1String("organization") || kind == QLatin1String("organisation")) {
            column.role = part == QLatin1String("name")         ? Role::Organisation
                          : part == QLatin1String("department") ? Role::Department
                          : part == QLatin1String("title")      ? Role::JobTitle
                                                                : Role::Unknown;
        } else if (part == QLatin1String("value")) {
            column.role = kind == QLatin1String("e-mail") || kind == QLatin1String("email")
                              ? Role::Email
                          : kind == QLatin1String("phone")   ? Role::Phone
                          : kind == QLatin1String("website") ? Role::Web
                          : kind == QLatin1String("event")   ? Role::EventValue
                                                             : Role::Unknown;
        }
        return column;
    }
    // A mail program's addresses: "Business Street 2", "Home City", "Work ZipCode".
    for (const char* prefix : {"business ", "home ", "other ", "work "}) {
        if (key.startsWith(QLatin1String(prefix)) &&
            addressPart(key.mid(qsizetype(std::strlen(prefix))), column.part)) {
            column.role = Role::Address;
            column.group = QString::fromLatin1(prefix).trimmed();
            return column;
        }
    }
    if (key.contains(QLatin1String("type")) || key.contains(QLatin1String("display name")))
        column.role = Role::Bookkeeping;
    else if (key.startsWith(QLatin1String("e-mail")) || key.startsWith(QLatin1String("email")) ||
             key.endsWith(QLatin1String(" email")))
        column.role = Role::Email;
    else if (key.contains(QLatin1String("phone")) || key.contains(QLatin1String("fax")) ||
             key.contains(QLatin1String("pager")) || key.contains(QLatin1String("mobile")))
        column.role = Role::Phone;
    else if (key.startsWith(QLatin1String("web")))
        column.role = Role::Web;
    return column;
}

// Web address books put several values in one cell: "a@x.org ::: b@y.org".
QStringList values(const QString& cell) {
    QStringList out;
    for (const QString& value : cell.split(QStringLiteral(" ::: ")))
        if (!value.trimmed().isEmpty()) out << value.trimmed();
    return out;
}

Contact contactFromRow(const std::vector<Column>& columns, const QStringList& fields) {
    Contact contact;
    QMap<QString, QString> phoneLabels, eventTypes, eventValues;
    std::vector<std::pair<QString, QString>> groupPhones;  // group, number
    std::vector<std::pair<QString, std::array<QStringList, PartCount>>> addresses;
    QString organisation, department, birthYear, birthMonth, birthDay;
    const auto addressOf =
        [&addresses](const QString& group) -> std::array<QStringList, PartCount>& {
        for (auto& [name, parts] : addresses)
            if (name == group) return parts;
        addresses.emplace_back(group, std::array<QStringList, PartCount>{});
        return addresses.back().second;
    };
    for (size_t i = 0; i < columns.size() && i < size_t(fields.size()); ++i) {
        const Column& column = columns[i];
        const QString& cell = fields[qsizetype(i)];
        const QString value = cell.trimmed();
        if (value.isEmpty()) continue;
        switch (column.role) {
            case Role::Unknown:
            case Role::Bookkeeping:
                break;
            case Role::FormattedName:
                if (contact.formattedName.isEmpty()) contact.formattedName = value;
                break;
            case Role::Given:
                contact.given = value;
                break;
            case Role::Middle:
                contact.middle = value;
                break;
            case Role::Family:
                contact.family = value;
                break;
            case Role::Prefix:
                contact.notImported << QStringLiteral("name prefix \"%1\"").arg(value);
                break;
            case Role::Suffix:
                contact.notImported << QStringLiteral("name suffix \"%1\"").arg(value);
                break;
            case Role::Nickname:
                contact.nicknames << value;
                break;
            case Role::Organisation:
                if (!organisation.isEmpty()) contact.organisations << organisation;
                organisation = value;
                break;
            case Role::Department:
                department = value;
                break;
            case Role::JobTitle:
                contact.titles << value;
                break;
            case Role::Note:
                contact.notes << cell;
                break;
            case Role::Birthday:
                contact.birthdays << value;
                break;
            case Role::BirthYear:
                birthYear = value;
                break;
            case Role::BirthMonth:
                birthMonth = value.rightJustified(2, u'0');
                break;
            case Role::BirthDay:
                birthDay = value.rightJustified(2, u'0');
                break;
            case Role::Anniversary:
                contact.anniversaries << value;
                break;
            case Role::Email:
                contact.emails << values(value);
                break;
            case Role::Web:
                contact.webs << values(value);
                break;
            case Role::Phone:
                for (const QString& number : values(value)) {
                    if (column.group.isEmpty())
                        contact.phones << Contact::Phone{phoneLabel({column.header}), number};
                    else
                        groupPhones.emplace_back(column.group, number);
                }
                break;
            case Role::PhoneLabel:
                phoneLabels.insert(column.group, value);
                break;
            case Role::Address:
                addressOf(column.group)[column.part] << cell;
                break;
            case Role::EventValue:
                eventValues.insert(column.group, value);
                break;
            case Role::EventType:
                eventTypes.insert(column.group, value);
                break;
        }
    }
    for (const auto& [group, number] : groupPhones)
        contact.phones << Contact::Phone{phoneLabel({phoneLabels.value(group)}), number};
    QStringList organisationParts{organisation, department};
    organisationParts.removeAll(QString());
    if (!organisationParts.isEmpty())
        contact.organisations << organisationParts.join(QStringLiteral(", "));
    for (const auto& entry : addresses) {
        const auto& parts = entry.second;
        const auto part = [&parts](AddressPart which) { return parts[which].join(u'\n'); };
        QStringList lines = addressLines(part(PostOfficeBox), part(Extended), part(Street),
                                         part(City), part(Region), part(Postcode), part(Country));
        if (lines.isEmpty()) lines = addressLines({}, {}, part(Formatted), {}, {}, {}, {});
        contact.addresses << lines;
    }
    if (!birthMonth.isEmpty() && !birthDay.isEmpty())
        contact.birthdays << (birthYear.isEmpty() ? QStringLiteral("-") : birthYear) + u'-' +
                                 birthMonth + u'-' + birthDay;
    for (auto event = eventValues.cbegin(); event != eventValues.cend(); ++event) {
        const QString type = eventTypes.value(event.key());
        if (type.contains(QLatin1String("anniversary"), Qt::CaseInsensitive))
            contact.anniversaries << event.value();
        else if (type.contains(QLatin1String("birth"), Qt::CaseInsensitive))
            contact.birthdays << event.value();
        else
            contact.notImported << QStringLiteral("%1 \"%2\"")
                                       .arg(type.isEmpty() ? event.key() : type, event.value());
    }
    return contact;
}

}  // namespace

CsvContacts contactsFromCsv(const QString& text) {
    CsvContacts result;
    const std::vector<csv::Record> records = csv::read(text, csv::guessSeparator(text));
    if (records.empty()) return result;
    std::vector<Column> columns;
    for (const QString& header : records.front().fields) {
        columns.push_back(classify(header));
        const Role role = columns.back().role;
        result.recognised =
            result.recognised || (role != Role::Unknown && role != Role::Bookkeeping);
    }
    for (size_t r = 1; r < records.size(); ++r) {
        const csv::Record& record = records[r];
        bool anything = false;
        for (const QString& field : record.fields)
            anything = anything || !field.trimmed().isEmpty();
        if (!anything) continue;
        CsvContacts::Row row;
        row.number = int(r) + 1;
        if (record.unterminated) {
            row.damage =
                QStringLiteral("a quoted value that starts on line %1 never ends").arg(record.line);
            result.rows.push_back(std::move(row));
            continue;
        }
        row.contact = contactFromRow(columns, record.fields);
        for (size_t i = 0; i < columns.size() && i < size_t(record.fields.size()); ++i)
            if (columns[i].role == Role::Unknown &&
                !record.fields[qsizetype(i)].trimmed().isEmpty() &&
                !result.unknownColumns.contains(columns[i].header))
                result.unknownColumns << columns[i].header;
        for (qsizetype i = qsizetype(columns.size()); i < record.fields.size(); ++i)
            if (!record.fields[i].trimmed().isEmpty()) {
                row.contact.notImported << QStringLiteral("values beyond the last column");
                break;
            }
        result.rows.push_back(std::move(row));
    }
    return result;
}

}  // namespace store
