#pragma once
// The 1024-byte tag header of the compound index: 512 bytes of fields, then the pool with
// the key and FOR expressions. The header at offset 0 (the tag directory's) also holds the
// file-wide free-page list and change counter.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xbase::cdx {

inline constexpr size_t kTagHeaderSize = 1024;
inline constexpr size_t kExpressionPoolSize = 512;
inline constexpr uint32_t kFreeListOffset = 4;       // u32 LE, in the header at offset 0
inline constexpr uint32_t kChangeCounterOffset = 8;  // u32 BE, in the header at offset 0

inline constexpr uint8_t kOptionUnique = 0x01;
inline constexpr uint8_t kOptionHasFor = 0x08;
inline constexpr uint8_t kOptionCompact = 0x20;
inline constexpr uint8_t kOptionCompound = 0x40;
inline constexpr uint8_t kOptionDirectory = 0x80;

inline constexpr uint16_t kDirectoryKeyLength = 10;  // tag names, blank padded

struct TagHeader {
    uint32_t root = 0;
    uint32_t freeList = 0;
    uint32_t changeCounter = 0;
    uint16_t keyLength = 0;
    uint8_t options = 0;
    uint8_t signature = 1;
    std::string collation;  // empty when the header names none
    bool descending = false;
    std::string keyExpression;
    std::string forExpression;
};

// Writes 1024 bytes. The expressions must fit the pool (see expressionsFit).
void encodeTagHeader(const TagHeader& header, uint8_t* out);
// Returns an empty text on success, otherwise what is wrong with the header.
std::string decodeTagHeader(const uint8_t* in, TagHeader& out);

bool expressionsFit(std::string_view keyExpression, std::string_view forExpression);
// Keys of a MACHINE (or unnamed) collation are the plain bytes this engine computes.
bool isMachineCollation(std::string_view collation);

}  // namespace xbase::cdx
