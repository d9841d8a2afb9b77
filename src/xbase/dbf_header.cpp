#include "dbf_header.h"

#include <cstdio>
#include <cstring>

#include "ascii.h"
#include "byte_order.h"
#include "xbase/error.h"

namespace xbase {
namespace {

[[noreturn]] void damaged(const std::string& fileName, const std::string& what) {
    throw Error(ErrorKind::Corruption, code::BadTableHeader, fileName + " is damaged: " + what);
}

bool knownVersion(uint8_t v) {
    switch (v) {
        case 0x02:  // FoxBASE
        case 0x03:  // dBASE III / FoxPro without memo
        case 0x30:  // Visual FoxPro
        case 0x31:  // Visual FoxPro with autoincrement
        case 0x32:  // Visual FoxPro with varchar/varbinary
        case 0x83:  // dBASE III with DBT memo
        case 0x8B:  // dBASE IV with memo
        case 0xF5:  // FoxPro 2.x with memo
        case 0xFB:  // FoxBASE with memo
            return true;
        default:
            return false;
    }
}

}  // namespace

int yearFromHeaderByte(uint8_t value) {
    if (value >= 100) return 1900 + value;
    return value < 80 ? 2000 + value : 1900 + value;
}

bool DbfHeader::hasMemoFields() const {
    for (const auto& f : fields)
        if (isMemoType(f.info.type)) return true;
    return false;
}

DbfHeader DbfHeader::parse(std::string_view bytes, const std::string& fileName) {
    if (bytes.size() < 32) damaged(fileName, "the file is shorter than a table header");
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    DbfHeader h;
    h.version = p[0];
    if (!knownVersion(h.version)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "unknown table version byte 0x%02X", h.version);
        damaged(fileName, buf);
    }
    h.lastUpdate = Date{yearFromHeaderByte(p[1]), p[2], p[3]};
    if (!h.lastUpdate.valid()) h.lastUpdate = Date{};
    h.recordCount = getLe32(p + 4);
    h.headerLength = getLe16(p + 8);
    h.recordLength = getLe16(p + 10);
    h.tableFlags = p[28];
    h.codePageMark = p[29];
    h.changeInProgress = p[kChangeMarkOffset] == 1;

    if (h.headerLength < 32 + 1) damaged(fileName, "the header length is too small");
    if (bytes.size() < h.headerLength) damaged(fileName, "the header is cut short");
    if (h.recordLength < 1) damaged(fileName, "the record length is zero");

    int offset = 1;
    for (size_t pos = 32; pos + 32 <= h.headerLength; pos += 32) {
        const unsigned char* d = p + pos;
        if (d[0] == 0x0D) break;
        FieldLayout f;
        size_t nameLength = 0;
        while (nameLength < 11 && d[nameLength] != 0) ++nameLength;
        f.info.name = upperAscii(std::string_view(reinterpret_cast<const char*>(d), nameLength));
        f.info.type = static_cast<char>(d[11]);
        f.info.length = d[16];
        f.info.decimals = d[17];
        f.flags = d[18];
        // Character fields wider than 255 keep the high byte of the width in the decimals.
        if (f.info.type == 'C' && !h.isVisualFoxPro() && f.info.decimals != 0) {
            f.info.length += 256 * f.info.decimals;
            f.info.decimals = 0;
        }
        if (f.info.name.empty()) damaged(fileName, "a field has no name");
        if (f.info.length == 0) damaged(fileName, "field " + f.info.name + " has no width");
        f.offset = offset;
        offset += f.info.length;
        h.fields.push_back(std::move(f));
    }
    if (h.fields.empty()) damaged(fileName, "the table has no fields");
    if (offset != h.recordLength)
        damaged(fileName, "the record length " + std::to_string(h.recordLength) +
                              " does not match the fields (" + std::to_string(offset) + ")");
    if (32 + 32 * h.fields.size() + 1 > h.headerLength)
        damaged(fileName, "the header length is too small for its fields");
    return h;
}

std::string DbfHeader::encodeRecord() const {
    std::string out(32, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    p[0] = version;
    Date d = lastUpdate.empty() ? Date::today() : lastUpdate;
    p[1] = static_cast<unsigned char>(d.year - 1900);
    p[2] = static_cast<unsigned char>(d.month);
    p[3] = static_cast<unsigned char>(d.day);
    putLe32(p + 4, recordCount);
    putLe16(p + 8, headerLength);
    putLe16(p + 10, recordLength);
    p[kChangeMarkOffset] = changeInProgress ? 1 : 0;
    p[28] = tableFlags;
    p[29] = codePageMark;
    return out;
}

std::string DbfHeader::encode() const {
    std::string out = encodeRecord();
    out.resize(headerLength, '\0');
    auto* p = reinterpret_cast<unsigned char*>(out.data());
    size_t pos = 32;
    for (const auto& f : fields) {
        unsigned char* d = p + pos;
        std::memcpy(d, f.info.name.data(), std::min<size_t>(f.info.name.size(), 10));
        d[11] = static_cast<unsigned char>(f.info.type);
        putLe32(d + 12, static_cast<uint32_t>(f.offset));
        d[16] = static_cast<unsigned char>(f.info.length);
        d[17] = static_cast<unsigned char>(f.info.decimals);
        d[18] = f.flags;
        pos += 32;
    }
    p[pos] = 0x0D;
    return out;
}

DbfHeader DbfHeader::forNewTable(const std::vector<FieldInfo>& fields, uint8_t codePageMark) {
    DbfHeader h;
    h.codePageMark = codePageMark;
    int offset = 1;
    for (const auto& info : fields) {
        FieldLayout f;
        f.info = info;
        f.offset = offset;
        offset += info.length;
        h.fields.push_back(f);
    }
    h.version = h.hasMemoFields() ? 0xF5 : 0x03;
    h.headerLength = static_cast<uint16_t>(32 + 32 * fields.size() + 1);
    h.recordLength = static_cast<uint16_t>(offset);
    h.lastUpdate = Date::today();
    return h;
}

}  // namespace xbase
