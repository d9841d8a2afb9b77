// The vCard reader on any bytes, then each card as the import makes it an entry.

#include <cstdint>
#include <string_view>

#include "contacts_card.h"
#include "vcard_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    store::vcard::looksLikeVCard(bytes);
    const store::vcard::File file = store::vcard::read(bytes);
    for (const store::vcard::Card& card : file.cards) {
        for (const store::vcard::Property& property : card.properties) {
            store::vcard::text(property, card.version());
            store::vcard::components(property, card.version());
        }
        if (card.damage.empty()) store::draftEntry(store::contactFromCard(card));
    }
    return 0;
}
