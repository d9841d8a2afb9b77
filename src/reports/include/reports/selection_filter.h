#pragma once
// The filter expressions that pick a report's entries from the name-ordered copy of
// the address table. Names are bytes in the table's code page; each one becomes a text
// constant the engine reads back exactly, whatever quotes it holds.

#include <string>
#include <string_view>
#include <vector>

namespace reports {

// Every entry whose upper-cased name equals `upperName`.
std::string currentEntryFilter(std::string_view upperName);

// Every entry whose upper-cased name lies between the two (both included), whichever
// way round they come: the lower one, compared as unsigned bytes, opens the range.
std::string nameRangeFilter(std::string_view oneEnd, std::string_view otherEnd);

// Every entry named exactly as one of `names`, in their order. Needs at least one name.
std::string selectedNamesFilter(const std::vector<std::string>& names);

}  // namespace reports
