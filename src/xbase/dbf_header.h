#pragma once
// The DBF table header: the 32-byte header record and the field descriptors.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/types.h"

namespace xbase {

struct FieldLayout {
    FieldInfo info;
    int offset = 0;     // inside the record; byte 0 is the deletion flag
    uint8_t flags = 0;  // Visual FoxPro field flags
};

struct DbfHeader {
    uint8_t version = 0xF5;
    Date lastUpdate;
    uint32_t recordCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    uint8_t tableFlags = 0;
    uint8_t codePageMark = 0;
    // Set while a record and its index keys are being changed (dBASE's "incomplete
    // transaction" byte): found set on opening, it means a writer died in between.
    bool changeInProgress = false;
    std::vector<FieldLayout> fields;

    static constexpr uint8_t kFlagStructuralIndex = 0x01;
    static constexpr uint8_t kFlagMemo = 0x02;
    static constexpr uint64_t kChangeMarkOffset = 14;

    bool isVisualFoxPro() const { return version == 0x30 || version == 0x31 || version == 0x32; }
    bool hasMemoFields() const;
    // Binary 4-byte memo pointers (Visual FoxPro) instead of 10 ASCII digits.
    bool binaryMemoPointers() const { return isVisualFoxPro(); }
    uint64_t recordOffset(uint32_t recno) const {
        return headerLength + static_cast<uint64_t>(recno - 1) * recordLength;
    }

    // Parses the header bytes (at least 32; all of headerLength for the fields). Throws
    // Error(Corruption, BadTableHeader) naming `fileName` when they cannot be right.
    static DbfHeader parse(std::string_view bytes, const std::string& fileName);
    // The 32-byte header record alone (what changes on append and update).
    std::string encodeRecord() const;
    // The whole header: record, descriptors, terminator, padding to headerLength.
    std::string encode() const;

    // A new FoxPro 2.x header for `fields` (header length 32 + 32n + 1).
    static DbfHeader forNewTable(const std::vector<FieldInfo>& fields, uint8_t codePageMark);
};

// Year byte conventions differ: year - 1900 (dBASE, Clipper, Harbour) or year % 100.
int yearFromHeaderByte(uint8_t value);

}  // namespace xbase
