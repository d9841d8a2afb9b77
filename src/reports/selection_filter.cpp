#include <reports/selection_filter.h>

#include <stdexcept>

#include <xbase/expression.h>

namespace reports {

namespace {

bool lessAsUnsignedBytes(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

}  // namespace

std::string currentEntryFilter(std::string_view upperName) {
    return "upper(Name)=" + xbase::Expression::quote(upperName);
}

std::string nameRangeFilter(std::string_view oneEnd, std::string_view otherEnd) {
    std::string_view low = oneEnd;
    std::string_view high = otherEnd;
    if (lessAsUnsignedBytes(high, low)) std::swap(low, high);
    return "upper(Name) >= " + xbase::Expression::quote(low) +
           " AND upper(Name) <= " + xbase::Expression::quote(high);
}

std::string selectedNamesFilter(const std::vector<std::string>& names) {
    if (names.empty()) throw std::invalid_argument("A selection filter needs a name");
    std::string expression;
    for (const std::string& name : names) {
        if (!expression.empty()) expression += " OR ";
        expression += "Name=" + xbase::Expression::quote(name);
    }
    return expression;
}

}  // namespace reports
