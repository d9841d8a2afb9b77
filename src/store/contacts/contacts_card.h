#pragma once
// One contact as vCard and CSV files hold it, and the address book entry it becomes: a
// name and a memo written in lines the memo scanner finds again.

#include <QList>
#include <QString>
#include <QStringList>

#include <string_view>
#include <vector>

namespace store {

namespace vcard {
struct Card;
}

struct Contact {
    struct Phone {
        QString label;  // "Home", "Work", "Cell", "Fax", "Pager" or "Phone"
        QString number;
    };

    QString formattedName;  // how the file shows the name (FN, a display-name column)
    QString family, given, middle;
    QStringList organisations, titles;
    QList<QStringList> addresses;  // each as its memo lines
    QList<Phone> phones;
    QStringList emails, webs, birthdays, anniversaries, nicknames, notes;
    // What the file held that the entry does not get, in words for the report.
    QStringList notImported;
};

struct DraftEntry {
    QString name;  // whole: not yet cut to the name field or made unique
    QString memo;  // lines ended by CR LF
};

// The entry a contact becomes. Name: "Family, Given Middle" when there is a family name
// (the formatted name as written when it says the same in that form), else the formatted
// name, the organisation, the first e-mail address. Memo: organisation and title,
// addresses, "Home: …" and the other phone lines, "Email: …", "Web: …", birthday and
// anniversary, nickname, and the notes last; a phone, e-mail or web address the notes
// already hold is not written again, nor a line (or a whole address) a note has as a line
// of its own, so a card whose note is an entry's memo gives back exactly that memo.
DraftEntry draftEntry(const Contact& contact);

// The memo label of a phone with these types or labels ("CELL", "Work Fax", "_$!<Mobile>!$_").
QString phoneLabel(const QStringList& typesOrLabels);

// An address as memo lines: post office box, extended address, street, "City, Region
// Postcode", country; empty parts left out.
QStringList addressLines(const QString& postOfficeBox, const QString& extended,
                         const QString& street, const QString& city, const QString& region,
                         const QString& postcode, const QString& country);

// "1985-04-12" for "19850412" or "1985-04-12T00:00:00Z"; other dates as written.
QString dateAsWritten(const QString& value);

// The contact a whole (undamaged) card holds.
Contact contactFromCard(const vcard::Card& card);

}  // namespace store
