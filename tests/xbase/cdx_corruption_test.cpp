// Damaged compound indexes: every damage gives the engine's error (or a fault from
// verify()), never a crash, a hang or a page reused while still in use.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cdx.h"
#include "cdx_page.h"
#include "table_fixture.h"
#include "xbase/error.h"
#include "xbase/file_system.h"

namespace {

using tabletest::littleEndian;
using tabletest::littleEndianBytes;
using tabletest::padded;
using xbase::BulkKeys;
using xbase::CdxFile;
using xbase::CdxTag;
using xbase::Error;
using xbase::cdx::Node;

std::string hex(uint32_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", offset);
    return text;
}

// A sound three-level index, kept as bytes; each test damages a copy.
class DamagedCdx : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        testsupport::TempDir dir;
        {
            auto file =
                xbase::defaultFileSystem().open(dir / "ADDRESS.CDX", xbase::OpenFlags::CreateNew);
            auto cdx = CdxFile::create(*file);
            BulkKeys keys{30, {}, {}};
            std::mt19937 random(2);
            for (uint32_t i = 1; i <= 9000; ++i)
                keys.add(padded("NAME " + std::to_string(random())), i);
            cdx->createTag("ADDRESS", "upper(Name)", "", ' ', std::move(keys));
        }
        good_ = tabletest::readBytes(dir / "ADDRESS.CDX");
    }

    void SetUp() override { bytes = good_; }

    Node node(uint32_t offset) const {
        Node n;
        EXPECT_EQ(xbase::cdx::decodeNode(reinterpret_cast<const uint8_t*>(bytes.data()) + offset,
                                         30, ' ', n),
                  "");
        return n;
    }
    void put(uint32_t offset, const Node& n) {
        uint8_t page[512];
        ASSERT_TRUE(n.isLeaf() ? xbase::cdx::encodeLeaf(n, 30, ' ', page)
                               : xbase::cdx::encodeInterior(n, 30, page));
        std::memcpy(bytes.data() + offset, page, 512);
    }
    uint32_t root() const { return littleEndian(bytes, headerOffset()); }
    uint32_t headerOffset() const {
        // The directory's root leaf holds one entry; its record number is the tag header.
        Node directory;
        xbase::cdx::decodeNode(reinterpret_cast<const uint8_t*>(bytes.data()) + 0x400, 10, ' ',
                               directory);
        return directory.recnos.at(0);
    }
    uint32_t firstLeaf() const {
        uint32_t offset = root();
        for (Node n = node(offset); !n.isLeaf(); n = node(offset)) offset = n.children.front();
        return offset;
    }

    // Writes the damaged bytes and opens them.
    std::unique_ptr<CdxFile> open() {
        tabletest::writeBytes(dir / "ADDRESS.CDX", bytes);
        file = xbase::defaultFileSystem().open(dir / "ADDRESS.CDX", xbase::OpenFlags::ReadWrite);
        return CdxFile::open(*file);
    }

    // The error a full walk of tag ADDRESS gives; fails the test when there is none.
    std::string walkError() {
        try {
            auto cdx = open();
            CdxTag* tag = cdx->findTag("ADDRESS");
            if (!tag) return "no tag";
            tag->scan({}, 0, [](std::string_view, uint32_t) { return true; });
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), xbase::ErrorKind::Corruption);
            EXPECT_EQ(e.number(), xbase::code::BadIndex);
            return e.what();
        }
        ADD_FAILURE() << "the damage went unnoticed";
        return {};
    }

    std::vector<std::string> faults() {
        auto cdx = open();
        return cdx->findTag("ADDRESS")->verify();
    }

    static bool mentions(const std::vector<std::string>& lines, const std::string& text) {
        for (const auto& line : lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    static inline std::string good_;
    std::string bytes;
    testsupport::TempDir dir;
    std::unique_ptr<xbase::File> file;
};

TEST_F(DamagedCdx, TheSampleIsSoundAndThreeLevelsDeep) {
    EXPECT_EQ(faults(), std::vector<std::string>{});
    const Node top = node(root());
    ASSERT_FALSE(top.isLeaf());
    EXPECT_FALSE(node(top.children.front()).isLeaf());
}

TEST_F(DamagedCdx, DamagedNodesNameTheFileAndTheOffset) {
    const uint32_t leaf = firstLeaf();
    const uint32_t top = root();
    struct Damage {
        const char* what;
        uint32_t offset;
        size_t at;
        std::vector<uint8_t> value;
        std::string expected;
    };
    const Damage damages[] = {
        {"a leaf marked as a free page", leaf, 0, {0xFF, 0xFF}, "node at offset " + hex(leaf)},
        {"a leaf claiming 400 keys", leaf, 2, {0x90, 0x01}, "node at offset " + hex(leaf)},
        {"an interior node with no keys", top, 2, {0, 0}, "interior node has no keys"},
        {"a child past the end",
         top,
         12 + 30 + 4,
         {0x00, 0x10, 0x00, 0x00},
         "lies beyond the end of the file"},
        {"a child between pages",
         top,
         12 + 30 + 4,
         {0x00, 0x00, 0x06, 0x10},
         "not on a page boundary"},
        {"a child inside the header",
         top,
         12 + 30 + 4,
         {0x00, 0x00, 0x02, 0x00},
         "inside the file header"},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        SetUp();
        std::memcpy(bytes.data() + d.offset + d.at, d.value.data(), d.value.size());
        const std::string error = walkError();
        EXPECT_NE(error.find("ADDRESS.CDX: "), std::string::npos) << error;
        EXPECT_NE(error.find(d.expected), std::string::npos) << error;
        EXPECT_FALSE(faults().empty());
    }
    SetUp();
    bytes.replace(root() + 12 + 30 + 4, 4, littleEndianBytes(0));  // big-endian child 0x10000000
    bytes[root() + 12 + 30 + 4] = 0x10;
    EXPECT_NE(
        walkError().find("ADDRESS.CDX: node at offset 0x10000000 lies beyond the end of the file"),
        std::string::npos);
}

TEST_F(DamagedCdx, CyclesAreReportedNotFollowed) {
    // A leaf whose right sibling is the first leaf.
    uint32_t offset = firstLeaf();
    for (int i = 0; i < 5; ++i) offset = node(offset).right;
    Node looping = node(offset);
    looping.right = firstLeaf();
    put(offset, looping);
    EXPECT_NE(walkError().find("does not end"), std::string::npos);
    EXPECT_TRUE(mentions(faults(), "as its right sibling"));
    EXPECT_THROW(open()->findTag("ADDRESS")->keyCount(), Error);

    // An interior node that names the root as a child.
    SetUp();
    const uint32_t top = root();
    Node middle = node(node(top).children.front());
    middle.children.front() = top;
    put(node(top).children.front(), middle);
    EXPECT_NE(walkError().find("cycle"), std::string::npos);
    EXPECT_TRUE(mentions(faults(), "a second time"));
    auto cdx = open();
    EXPECT_THROW(cdx->findTag("ADDRESS")->first(), Error);
    EXPECT_THROW(cdx->findTag("ADDRESS")->insert(padded("A"), 1), Error);
}

TEST_F(DamagedCdx, VerifyFindsWhatReadingDoesNotNotice) {
    const uint32_t leaf = node(firstLeaf()).right;
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::string fault;
    };
    const std::vector<Case> cases = {
        {"free space", [&] { bytes[leaf + 12] = static_cast<char>(bytes[leaf + 12] + 1); },
         "free bytes but has"},
        {"keys out of order",
         [&] {
             Node n = node(leaf);
             n.keys.resize(10 * 30);  // room for keys that compress worse out of order
             n.recnos.resize(10);
             std::swap(n.recnos[3], n.recnos[4]);
             std::string third(n.key(3, 30)), fourth(n.key(4, 30));
             n.keys.replace(3 * 30, 30, fourth);
             n.keys.replace(4 * 30, 30, third);
             put(leaf, n);
         },
         "keys out of order at entry 4"},
        {"a parent entry that is not its child's last",
         [&] {
             const uint32_t parent = node(root()).children.front();
             Node n = node(parent);
             n.recnos[1] += 1;
             put(parent, n);
         },
         "is not the node's last key"},
        {"a left sibling link",
         [&] {
             Node n = node(leaf);
             n.left = root();
             put(leaf, n);
         },
         "as its left sibling instead of " + hex(firstLeaf())},
        {"a root without its mark", [&] { bytes[root()] = 0; }, "is the root but is not marked so"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.damage();
        const std::vector<std::string> found = faults();
        EXPECT_TRUE(mentions(found, c.fault)) << (found.empty() ? "no faults" : found.front());
    }
}

TEST_F(DamagedCdx, ATruncatedFileGivesAnError) {
    bytes.resize(1000);
    EXPECT_THROW(open(), Error);
    SetUp();
    bytes.resize(bytes.size() / 2);
    const std::string error = walkError();
    EXPECT_NE(error.find("lies beyond the end of the file"), std::string::npos) << error;
    SetUp();
    bytes.clear();
    try {
        open();
        ADD_FAILURE() << "an empty file opened";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "ADDRESS.CDX: the file is empty");
    }
}

TEST_F(DamagedCdx, DamagedHeadersStopTheOpen) {
    const uint32_t header = headerOffset();
    const std::vector<std::pair<size_t, uint32_t>> damages = {
        {header + 12, 0},          // key length 0
        {header + 12, 241},        // key length beyond 240
        {header, 0x7FFFFE00},      // tag root beyond the end
        {0, 0x7FFFFE00},           // directory root beyond the end
        {0x400 + 24, 0x00FFFF00},  // directory entry: a tag header beyond the end
    };
    for (const auto& [at, value] : damages) {
        SetUp();
        if (at == header + 12) {
            bytes[at] = static_cast<char>(value);
            bytes[at + 1] = 0;
        } else {
            bytes.replace(at, 4, littleEndianBytes(value));
        }
        EXPECT_THROW(open(), Error) << "damage at " << at;
    }
}

TEST_F(DamagedCdx, ALiveNodeOnTheFreeListIsNotReused) {
    const uint32_t leaf = node(firstLeaf()).right;
    bytes.replace(4, 4, littleEndianBytes(leaf));
    EXPECT_TRUE(mentions(faults(), "also on the list of free pages"));
    auto cdx = open();
    CdxTag& tag = *cdx->findTag("ADDRESS");
    for (uint32_t i = 0; i < 3000; ++i) tag.insert(padded("ADDED " + std::to_string(i)), 20000 + i);
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_EQ(tag.keyCount(), 12000u);
}

TEST_F(DamagedCdx, RandomDamageNeverCrashes) {
    std::mt19937 random(99);
    int noticed = 0;
    for (int round = 0; round < 300; ++round) {
        SetUp();
        const int hits = 1 + static_cast<int>(random() % 6);
        for (int h = 0; h < hits; ++h) {
            // Mostly node headers and entry tables, where a wrong byte matters most.
            const size_t page = random() % (bytes.size() / 512);
            const size_t at = page * 512 + (random() % 3 == 0 ? random() % 512 : random() % 40);
            bytes[at] = static_cast<char>(random());
        }
        try {
            auto cdx = open();
            for (const std::string& name : cdx->tagNames()) {
                CdxTag& tag = *cdx->findTag(name);
                size_t seen = 0;
                tag.scan({}, 0, [&](std::string_view, uint32_t) { return ++seen < 20000; });
                tag.first();
                tag.last();
                if (auto e = tag.lowerBound("NAME 5", 0)) {
                    tag.next(*e);
                    tag.prior(*e);
                }
                tag.keyCount();
                if (!tag.verify().empty()) ++noticed;
                if (tag.info().keyLength == 30) {
                    for (uint32_t i = 0; i < 20; ++i)
                        tag.insert(padded("NAME " + std::to_string(random())), 1 + i);
                    tag.erase(padded("NAME 1"), 1);
                }
            }
        } catch (const Error&) {
            ++noticed;
        }
    }
    EXPECT_GT(noticed, 150);
}

}  // namespace
