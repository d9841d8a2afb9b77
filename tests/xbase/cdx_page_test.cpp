// The page and tag-header codecs of the compound index, against bytes other engines write.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cdx_header.h"
#include "cdx_page.h"
#include "table_fixture.h"

namespace {

using namespace xbase::cdx;
using tabletest::padded;

Node leafOf(const std::vector<std::pair<std::string, uint32_t>>& entries,
            uint16_t attributes = kLeafBit) {
    Node node;
    node.attributes = attributes;
    for (const auto& [key, recno] : entries) node.insertEntry(node.count(), key, recno, 0);
    return node;
}

std::vector<uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

TEST(CdxPage, EncodesTheWorkedExampleByteForByte) {
    // Root leaf of a tag on upper(Name) with Smith, John / Adams, Zoe / SMITH, JOHN.
    const Node node =
        leafOf({{padded("ADAMS, ZOE"), 2}, {padded("SMITH, JOHN"), 1}, {padded("SMITH, JOHN"), 3}},
               kRootBit | kLeafBit);
    uint8_t page[kPageSize];
    ASSERT_TRUE(encodeLeaf(node, 30, ' ', page));

    std::vector<uint8_t> expected(kPageSize, 0);
    const auto header = bytesOf({0x03, 0x00, 0x03, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                 0xff, 0xca, 0x01, 0xff, 0x3f, 0x00, 0x00, 0x1f, 0x1f, 0x0e, 0x05,
                                 0x05, 0x03, 0x02, 0x00, 0xa0, 0x01, 0x00, 0x98, 0x03, 0xc0, 0x9a});
    std::copy(header.begin(), header.end(), expected.begin());
    std::memcpy(expected.data() + 0x1eb, "SMITH, JOHN", 11);
    std::memcpy(expected.data() + 0x1f6, "ADAMS, ZOE", 10);
    EXPECT_EQ(std::vector<uint8_t>(page, page + kPageSize), expected);

    Node decoded;
    LeafFacts facts;
    EXPECT_EQ(decodeNode(page, 30, ' ', decoded, &facts), "");
    EXPECT_EQ(decoded.keys, node.keys);
    EXPECT_EQ(decoded.recnos, node.recnos);
    EXPECT_EQ(decoded.attributes, kRootBit | kLeafBit);
    EXPECT_EQ(decoded.left, kNoPage);
    EXPECT_EQ(decoded.right, kNoPage);
    EXPECT_EQ(facts.storedFreeSpace, 458);
    EXPECT_EQ(facts.actualFreeSpace, 458);
    EXPECT_FALSE(facts.firstEntryHasDup);
}

TEST(CdxPage, LeafWidthsGrowWithTheRecordNumbers) {
    struct Case {
        uint16_t keyLength;
        uint32_t maxRecno;
        int recBits, dupBits, trailBits, bytes;
    };
    const Case cases[] = {
        {30, 16383, 14, 5, 5, 3},   {30, 16384, 22, 5, 5, 4},      {30, 4194303, 22, 5, 5, 4},
        {30, 4194304, 30, 5, 5, 5}, {30, 0x40000000, 32, 8, 8, 6}, {10, 0xFFFF, 16, 4, 4, 3},
        {10, 0x10000, 24, 4, 4, 4}, {240, 255, 8, 8, 8, 3},        {240, 0xFFFFFFFF, 32, 8, 8, 6},
        {1, 5, 22, 1, 1, 3},
    };
    for (const Case& c : cases) {
        const LeafLayout layout = leafLayout(c.keyLength, c.maxRecno);
        EXPECT_EQ(layout.recBits, c.recBits) << c.keyLength << "/" << c.maxRecno;
        EXPECT_EQ(layout.dupBits, c.dupBits) << c.keyLength << "/" << c.maxRecno;
        EXPECT_EQ(layout.trailBits, c.trailBits) << c.keyLength << "/" << c.maxRecno;
        EXPECT_EQ(layout.bytes, c.bytes) << c.keyLength << "/" << c.maxRecno;
        EXPECT_GE(layout.recMask(), c.maxRecno);
    }
}

TEST(CdxPage, SharedBytesNeverReachIntoTrailingPad) {
    // "AB" followed by blanks, then "AB  X": the blanks after AB are the first key's pad,
    // so only "AB" may be shared.
    KeyCompression c = compressKey("AB   ", 3, "AB  X", ' ');
    EXPECT_EQ(c.dup, 2u);
    EXPECT_EQ(c.trail, 0u);
    EXPECT_EQ(c.stored, 3u);
    c = compressKey("SMITH, ANNA                   ", 19, "SMITH, JOHN                   ", ' ');
    EXPECT_EQ(c.dup, 7u);
    c = compressKey("SMITH, JOHN                   ", 19, "SMITHSON, KIM                 ", ' ');
    EXPECT_EQ(c.dup, 5u);
    c = compressKey("SMITH, JOHN                   ", 19, "SMITH, JOHN                   ", ' ');
    EXPECT_EQ(c.dup, 11u);
    EXPECT_EQ(c.stored, 0u);
    c = compressKey({}, 0, std::string(30, ' '), ' ');  // a blank key stores nothing
    EXPECT_EQ(c.trail, 30u);
    EXPECT_EQ(c.stored, 0u);
}

TEST(CdxPage, LeavesRoundTrip) {
    const std::string binary("\x80\x01\x00\x00\x00\x00\x00\x00", 8);  // a numeric key
    struct Case {
        const char* what;
        uint16_t keyLength;
        uint8_t padByte;
        std::vector<std::pair<std::string, uint32_t>> entries;
    };
    const std::vector<Case> cases = {
        {"empty", 30, ' ', {}},
        {"blank, full-width and repeated keys",
         30,
         ' ',
         {{padded(""), 6},
          {padded("A B"), 1},
          {"ZIMMERMANN-SCHMIDT, ANNA-MARIA", 7},
          {padded("ZIMMERMANN-SCHMIDT, ANNA-MARIB"), 8},
          {padded("ZZ"), 9},
          {padded("ZZ"), 10}}},
        {"record numbers past 16383 and 4 million",
         30,
         ' ',
         {{padded("A"), 16384}, {padded("B"), 4194304}, {padded("C"), 1}}},
        {"largest record number", 30, ' ', {{padded("A"), 0xFFFFFFFF}, {padded("B"), 2}}},
        {"numeric keys padded with zeros",
         8,
         0,
         {{binary, 1},
          {std::string("\x80\x01\x00\x00\x00\x00\x00\x01", 8), 2},
          {std::string(8, '\0'), 3}}},
        {"tag names", 10, ' ', {{padded("ADDRESS", 10), 0x600}, {padded("PHONE", 10), 0x10000}}},
        {"longest keys", 240, ' ', {{std::string(240, 'K'), 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Node node = leafOf(c.entries);
        node.left = 0x1200;
        node.right = 0x1400;
        uint8_t page[kPageSize];
        ASSERT_TRUE(encodeLeaf(node, c.keyLength, c.padByte, page));
        Node decoded;
        LeafFacts facts;
        ASSERT_EQ(decodeNode(page, c.keyLength, c.padByte, decoded, &facts), "");
        EXPECT_EQ(decoded.keys, node.keys);
        EXPECT_EQ(decoded.recnos, node.recnos);
        EXPECT_EQ(decoded.left, 0x1200u);
        EXPECT_EQ(decoded.right, 0x1400u);
        EXPECT_EQ(facts.storedFreeSpace, facts.actualFreeSpace);
        EXPECT_EQ(facts.actualFreeSpace, kLeafSpace - leafBytes(node, c.keyLength, c.padByte));
    }
}

TEST(CdxPage, RefusesALeafThatDoesNotFit) {
    Node node;
    node.attributes = kLeafBit;
    for (uint32_t i = 0; i < 17; ++i)
        node.insertEntry(i, padded("KEY " + std::to_string(i), 30, 'x'), i + 1, 0);
    uint8_t page[kPageSize];
    EXPECT_GT(leafBytes(node, 30, ' '), kLeafSpace);
    EXPECT_FALSE(encodeLeaf(node, 30, ' ', page));
}

TEST(CdxPage, InteriorEntriesCarryBigEndianRecordAndChild) {
    Node node;
    node.attributes = kRootBit;
    node.insertEntry(0, padded("GEN 09039 N"), 491, 0xA00);
    node.insertEntry(1, padded("ZZ"), 0x01020304, 0x1C00);
    uint8_t page[kPageSize];
    ASSERT_TRUE(encodeInterior(node, 30, page));
    EXPECT_EQ(std::vector<uint8_t>(page + 12 + 30, page + 12 + 38),
              bytesOf({0x00, 0x00, 0x01, 0xeb, 0x00, 0x00, 0x0a, 0x00}));
    Node decoded;
    ASSERT_EQ(decodeNode(page, 30, ' ', decoded), "");
    EXPECT_EQ(decoded.keys, node.keys);
    EXPECT_EQ(decoded.recnos, node.recnos);
    EXPECT_EQ(decoded.children, node.children);
    EXPECT_EQ(interiorCapacity(30), 13u);

    for (uint32_t i = 2; i <= 13; ++i)
        node.insertEntry(i, padded("ZZ" + std::to_string(i), 30), i, i * 512);
    EXPECT_FALSE(encodeInterior(node, 30, page));
}

TEST(CdxPage, DamagedPagesAreReportedNotTrusted) {
    uint8_t good[kPageSize];
    ASSERT_TRUE(encodeLeaf(leafOf({{padded("ADAMS"), 1}, {padded("BAKER"), 2}}), 30, ' ', good));
    struct Damage {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const Damage damages[] = {
        {"attributes of a free page", 0, 0xFF},
        {"more keys than a page holds", 3, 0x10},
        {"no bytes per entry", 23, 0},
        {"bit widths beyond the entry size", 20, 30},
        {"record mask disagreeing with its width", 14, 0x7F},
        {"trailing count beyond the key", 26, 0xFF},
    };
    for (const Damage& d : damages) {
        uint8_t page[kPageSize];
        std::memcpy(page, good, kPageSize);
        page[d.at] = d.value;
        Node node;
        EXPECT_NE(decodeNode(page, 30, ' ', node), "") << d.what;
    }

    // A key longer than what is left of the page runs into the entry table.
    Node wide;
    wide.attributes = kLeafBit;
    for (uint32_t i = 0; i < 14; ++i)
        wide.insertEntry(i, std::string(30, static_cast<char>('A' + i)), i + 1, 0);
    uint8_t page[kPageSize];
    ASSERT_TRUE(encodeLeaf(wide, 30, ' ', page));
    page[2] = 15;  // one entry more than written: its packed value is zero, a 30-byte key
    Node node;
    EXPECT_EQ(decodeNode(page, 30, ' ', node), "key bytes run into the entry table");

    // Interior nodes: none, or too many, entries.
    uint8_t interior[kPageSize] = {};
    interior[0] = kRootBit;
    EXPECT_EQ(decodeNode(interior, 30, ' ', node), "interior node has no keys");
    interior[2] = 14;
    EXPECT_NE(decodeNode(interior, 30, ' ', node), "");
}

TEST(CdxPage, FirstKeyWithASharedPrefixIsReadAsWhole) {
    uint8_t page[kPageSize];
    ASSERT_TRUE(encodeLeaf(leafOf({{padded("ADAMS"), 1}}), 30, ' ', page));
    page[25] |= 0x40;  // dup count 1 on the first entry: nothing precedes it
    Node node;
    LeafFacts facts;
    ASSERT_EQ(decodeNode(page, 30, ' ', node, &facts), "");
    EXPECT_TRUE(facts.firstEntryHasDup);
    EXPECT_EQ(node.keys, padded("ADAMS"));
}

TEST(CdxHeader, WritesTheLayoutOtherEnginesRead) {
    TagHeader header;
    header.root = 0xA00;
    header.keyLength = 30;
    header.options = kOptionCompact | kOptionCompound;
    header.keyExpression = "upper(Name)";
    uint8_t bytes[kTagHeaderSize];
    encodeTagHeader(header, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 16),
              bytesOf({0x00, 0x0a, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1e, 0x00, 0x60, 0x01}));
    EXPECT_EQ(std::vector<uint8_t>(bytes + 0x1f6, bytes + 0x200),
              bytesOf({0x00, 0x00, 0x0c, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0c, 0x00}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 512), 13),
              std::string("upper(Name)\0\0", 13));

    TagHeader decoded;
    ASSERT_EQ(decodeTagHeader(bytes, decoded), "");
    EXPECT_EQ(decoded.root, 0xA00u);
    EXPECT_EQ(decoded.keyLength, 30);
    EXPECT_EQ(decoded.keyExpression, "upper(Name)");
    EXPECT_EQ(decoded.forExpression, "");
    EXPECT_TRUE(isMachineCollation(decoded.collation));

    header.forExpression = "!deleted()";
    header.descending = true;
    header.changeCounter = 0x01020304;
    encodeTagHeader(header, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes + 8, bytes + 12), bytesOf({1, 2, 3, 4}));  // big-endian
    std::memcpy(bytes + 494, "GENERAL", 7);
    ASSERT_EQ(decodeTagHeader(bytes, decoded), "");
    EXPECT_EQ(decoded.forExpression, "!deleted()");
    EXPECT_TRUE(decoded.descending);
    EXPECT_EQ(decoded.changeCounter, 0x01020304u);
    EXPECT_FALSE(isMachineCollation(decoded.collation));

    bytes[12] = 0;  // key length 0
    bytes[13] = 0;
    EXPECT_NE(decodeTagHeader(bytes, decoded), "");
    EXPECT_FALSE(expressionsFit(std::string(400, 'x'), std::string(111, 'y')));
    EXPECT_TRUE(expressionsFit(std::string(400, 'x'), std::string(110, 'y')));
}

}  // namespace
