#pragma once
// Writes vCard content lines: UTF-8, CR LF, values escaped, lines folded at 75 octets
// without splitting a character.

#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

namespace store::vcard {

// A text value with "\", ",", ";" and line breaks escaped (a CR LF is one line break).
std::string escaped(const QString& text);

// Appends "head:value" and CR LF, folded: no line longer than 75 octets, each
// continuation starting with one blank. `value` is already escaped.
void appendLine(std::string& out, std::string_view head, std::string_view value);

}  // namespace store::vcard
