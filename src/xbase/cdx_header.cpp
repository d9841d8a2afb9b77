#include "cdx_header.h"

#include <algorithm>
#include <cstring>

#include "byte_order.h"
#include "cdx_page.h"

namespace xbase::cdx {
namespace {

constexpr size_t kCollationOffset = 494;
constexpr size_t kCollationSize = 8;
constexpr size_t kDescendingOffset = 502;
constexpr size_t kForPositionOffset = 504;
constexpr size_t kForLengthOffset = 506;
constexpr size_t kKeyPositionOffset = 508;
constexpr size_t kKeyLengthOffset = 510;

size_t boundedLength(const char* text, size_t limit) {
    return static_cast<size_t>(std::find(text, text + limit, '\0') - text);
}

}  // namespace

bool expressionsFit(std::string_view keyExpression, std::string_view forExpression) {
    return keyExpression.size() + forExpression.size() + 2 <= kExpressionPoolSize &&
           keyExpression.find('\0') == std::string_view::npos &&
           forExpression.find('\0') == std::string_view::npos;
}

bool isMachineCollation(std::string_view collation) {
    return collation.empty() || collation == "MACHINE";
}

void encodeTagHeader(const TagHeader& header, uint8_t* out) {
    std::memset(out, 0, kTagHeaderSize);
    putLe32(out, header.root);
    putLe32(out + kFreeListOffset, header.freeList);
    putBe32(out + kChangeCounterOffset, header.changeCounter);
    putLe16(out + 12, header.keyLength);
    out[14] = header.options;
    out[15] = header.signature;
    std::memcpy(out + kCollationOffset, header.collation.data(),
                std::min(header.collation.size(), kCollationSize));
    putLe16(out + kDescendingOffset, header.descending ? 1 : 0);
    const auto keySize = static_cast<uint16_t>(header.keyExpression.size() + 1);
    const auto forSize = static_cast<uint16_t>(header.forExpression.size() + 1);
    putLe16(out + kForPositionOffset, keySize);
    putLe16(out + kForLengthOffset, forSize);
    putLe16(out + kKeyPositionOffset, 0);
    putLe16(out + kKeyLengthOffset, keySize);
    uint8_t* pool = out + 512;
    std::memcpy(pool, header.keyExpression.data(), header.keyExpression.size());
    std::memcpy(pool + keySize, header.forExpression.data(), header.forExpression.size());
}

std::string decodeTagHeader(const uint8_t* in, TagHeader& out) {
    out = TagHeader{};
    out.root = getLe32(in);
    out.freeList = getLe32(in + kFreeListOffset);
    out.changeCounter = getBe32(in + kChangeCounterOffset);
    out.keyLength = getLe16(in + 12);
    out.options = in[14];
    out.signature = in[15];
    if (out.keyLength < 1 || out.keyLength > kMaxKeyLength)
        return "key length " + std::to_string(out.keyLength) + " is not between 1 and " +
               std::to_string(kMaxKeyLength);

    const char* collation = reinterpret_cast<const char*>(in + kCollationOffset);
    out.collation.assign(collation, boundedLength(collation, kCollationSize));
    out.descending = getLe16(in + kDescendingOffset) == 1;

    // The length fields disagree between writers; the terminating NULs do not.
    const char* pool = reinterpret_cast<const char*>(in + 512);
    const size_t keyEnd = boundedLength(pool, kExpressionPoolSize);
    if (keyEnd == kExpressionPoolSize) return "the key expression is not terminated";
    out.keyExpression.assign(pool, keyEnd);
    const size_t forStart = keyEnd + 1;
    const size_t forEnd = forStart + boundedLength(pool + forStart, kExpressionPoolSize - forStart);
    out.forExpression.assign(pool + forStart, forEnd - forStart);
    return {};
}

}  // namespace xbase::cdx
