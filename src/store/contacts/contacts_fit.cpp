#include "contacts_fit.h"

#include <store/address_rules.h>
#include "contacts_card.h"
#include "contacts_text.h"

namespace store {
namespace {

// Names and memos from elsewhere may hold control characters; in a name they would make
// a line of the grid look like two.
QString withoutControlCharacters(const QString& name) {
    QString out = name;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = u' ';
    return out.trimmed();
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

// The name cut to the name field, whole characters only, without trailing blanks.
std::string EntryFitter::fittedName(const std::string& bytes, const QString& fallbackText,
                                    bool& cut) {
    cut = bytes.size() > size_t(kNameWidth);
    if (!cut) return bytes;
    QString text = fallbackText;
    std::string fitted = bytes;
    while (fitted.size() > size_t(kNameWidth) && !text.isEmpty()) {
        text.chop(text.size() > 1 && text.back().isLowSurrogate() ? 2 : 1);
        fitted = text_.encode(text).bytes;
    }
    return trimmedRight(fitted);
}

std::string EntryFitter::withSuffix(const std::string& name, const std::string& suffix) {
    std::string base = name;
    if (base.size() + suffix.size() > size_t(kNameWidth)) {
        QString text = text_.decode(base);
        while (!text.isEmpty() &&
               text_.encode(text).bytes.size() + suffix.size() > size_t(kNameWidth))
            text.chop(1);
        base = trimmedRight(text_.encode(text).bytes);
    }
    return base + suffix;
}

FittedEntry EntryFitter::fit(const DraftEntry& draft) {
    FittedEntry fitted;
    fitted.cleanName = withoutControlCharacters(draft.name);
    if (fitted.cleanName != draft.name.trimmed())
        fitted.changes << QStringLiteral(
            "line breaks and control characters in the name became blanks");
    const TableText::Encoded name = text_.encode(fitted.cleanName);
    const TableText::Encoded memo = text_.encode(draft.memo);
    if (!name.replaced.isEmpty() || !memo.replaced.isEmpty()) {
        QStringList replaced = name.replaced;
        for (const QString& change : memo.replaced)
            if (!replaced.contains(change)) replaced << change;
        fitted.changes << QStringLiteral("letters this address book cannot hold replaced: ") +
                              replaced.join(QStringLiteral(", "));
    }
    bool cut = false;
    fitted.name = fittedName(trimmedRight(name.bytes), fitted.cleanName, cut);
    if (cut) fitted.changes << QStringLiteral("name cut to %1 characters").arg(kNameWidth);
    fitted.memo = memo.bytes;
    return fitted;
}

}  // namespace store
