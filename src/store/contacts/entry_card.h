#pragma once
// An entry as a vCard: the card export writes for it, and the same properties written into
// a card that someone else made, leaving everything else on that card as it was.

#include <string>
#include <string_view>

#include <store/address_book.h>

namespace store {

class TableText;

// The properties an entry maps to; a card's other properties (photos, addresses, whatever
// a phone wrote) are the card's own.
inline constexpr const char* kEntryProperties[] = {"FN", "N", "TEL", "EMAIL", "URL", "NOTE", "REV"};

// The card of an entry (name and memo in the table's code page), with this UID: FN, N from
// "Family, Given", a TEL, EMAIL or URL for each item the memo scanner finds, the memo as
// NOTE, REV from the entry's date. UTF-8, CR LF, folded at 75 octets.
std::string entryCard(TableText& text, const Entry& entry, const std::string& uid,
                      bool version4 = false);

// `card` (one vCard) with its kEntryProperties replaced by the entry's, written for the
// card's own version, and every other property copied byte for byte. Item labels of a
// group whose items went go with them. "" when the card cannot be read as one whole card.
std::string cardUpdatedFromEntry(std::string_view card, TableText& text, const Entry& entry);

}  // namespace store
