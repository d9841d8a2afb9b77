#include <store/address_rules.h>

namespace store {

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool isBlankName(std::string_view name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

bool nameExists(xbase::Cursor& lookup, std::string_view name) {
    return lookup.seekExact(upperAscii(name));
}

std::string checkSave(bool inserting, std::string_view name,
                      const std::function<bool(std::string_view)>& exists) {
    if (inserting && exists(name)) return kDuplicateMessage + std::string(name);
    if (isBlankName(name)) return kBlankNameMessage;
    return {};
}

void stampLastDate(xbase::Cursor& table) {
    table.setDate(table.requireField(kLastDateField), xbase::Date::today());
}

}  // namespace store
