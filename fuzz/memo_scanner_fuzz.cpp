// The memo item scanner on any text: every finder and cutter at every position, and the
// collection of each kind of item from the text's lines. Nothing may read outside the text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <links/memo_scanner.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> phones;
    links::findPhoneNumbers(text, phones);
    links::findEmailAddress(text);
    for (const std::string& line : lines) {
        links::findWebAddress(line);
        links::findFileName(line);
    }
    for (size_t i = 0; i <= text.size() + 1 && i < 4096; ++i) {
        links::isPhonePattern(text, i);
        links::cutPhoneNumber(text, i);
        links::cutWebAddress(text, i);
        links::cutFileName(text, i);
    }
    const std::string name = lines.front();
    for (links::ItemKind kind : {links::ItemKind::Phone, links::ItemKind::Email,
                                 links::ItemKind::Web, links::ItemKind::File}) {
        const links::CollectedItems items = links::collectItems(kind, name, lines, lines);
        if (items.showContext &&
            (items.linesBefore.size() != items.itemLines.size() || items.linesBefore.empty()))
            __builtin_trap();
    }
    return 0;
}
