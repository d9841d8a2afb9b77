#pragma once
// Reads vCard files (2.1, 3.0 and 4.0) the way address books, phones and mail programs
// write them: folded lines, quoted-printable values with soft line breaks, parameters
// with and without TYPE=, item groups, several cards in one file, CR LF or LF.
//
// The reader splits a file into cards and properties and decodes values; what a property
// means to an address book entry is decided elsewhere.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace store::vcard {

struct Parameter {
    std::string name;  // upper case; a bare 2.1 parameter is TYPE, or ENCODING for an encoding
    std::vector<std::string> values;
};

struct Property {
    std::string group;  // "item1" of "item1.TEL", else empty
    std::string name;   // upper case
    std::vector<Parameter> parameters;
    std::string value;  // as written: unfolded, soft line breaks joined, still encoded
    int line = 0;       // where it starts in the file, from 1
    // Its physical lines in the bytes read (after any byte-order mark), line ends included:
    // what a writer copies to keep a property exactly as it was.
    size_t begin = 0, end = 0;

    // Every value of the named parameter, upper-cased (TYPE=home,work;TYPE=pref gives three).
    std::vector<std::string> parameterValues(std::string_view name) const;
    bool isBinary() const;  // base64 data, or a photo, logo, sound or key
};

struct Card {
    int line = 0;  // of its BEGIN:VCARD
    std::vector<Property> properties;
    std::string damage;           // why the card cannot be trusted; empty when it is whole
    std::string version() const;  // "2.1", "3.0", "4.0" as the card says; "" when it says none
};

struct File {
    std::vector<Card> cards;
    int linesOutsideCards = 0;  // text that belongs to no card, passed over
};

// Splits a file's bytes (UTF-8 with or without a byte-order mark, or any charset the
// properties name) into cards. Never fails: a damaged card says so in its `damage`.
File read(std::string_view bytes);

// Whether the bytes start, after an optional byte-order mark and blank lines, with
// BEGIN:VCARD.
bool looksLikeVCard(std::string_view bytes);

// A property's value as text: quoted-printable and CHARSET undone, escapes resolved for
// the card's version. Line breaks inside come back as "\n".
QString text(const Property& property, std::string_view version);

// A structured value (N, ADR, ORG) split at its unescaped ";", each part as text().
QStringList components(const Property& property, std::string_view version);

}  // namespace store::vcard
