// Compound indexes this engine writes and maintains: bulk builds, inserts and erases
// checked against a plain ordered set, several tags in one file, page reuse, and what
// happens when the file changes underneath or a write fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cdx.h"
#include "cdx_page.h"
#include "table_fixture.h"
#include "xbase/error.h"
#include "xbase/file_system.h"

namespace {

using tabletest::padded;
using tabletest::walk;
using xbase::BulkKeys;
using xbase::CdxFile;
using xbase::CdxTag;
using xbase::Error;
using xbase::ErrorKind;
using xbase::IndexEntry;
using Model = std::set<std::pair<std::string, uint32_t>>;

// An insert patches the page a leaf already has instead of encoding the leaf again. In
// every test of this program each patched page is also encoded in full, and a page that
// differs in any byte throws.
class PatchCheck : public ::testing::Environment {
  public:
    void SetUp() override { xbase::cdx::setPatchCheck(true); }
    void TearDown() override { xbase::cdx::setPatchCheck(false); }
};
const auto* const patchCheck = ::testing::AddGlobalTestEnvironment(new PatchCheck);

struct IndexFile {
    testsupport::TempDir dir;
    std::unique_ptr<xbase::File> file;
    std::unique_ptr<CdxFile> cdx;

    IndexFile() {
        file = xbase::defaultFileSystem().open(dir / "ADDRESS.CDX", xbase::OpenFlags::CreateNew);
        cdx = CdxFile::create(*file);
    }
    void reopen() { cdx = CdxFile::open(*file); }
    std::vector<uint8_t> read(uint64_t offset, size_t size) {
        std::vector<uint8_t> bytes(size);
        file->readAt(offset, bytes.data(), size);
        return bytes;
    }
    uint32_t u32(uint64_t offset) {
        const auto b = read(offset, 4);
        return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }
};

std::vector<IndexEntry> entriesOf(const Model& model) {
    std::vector<IndexEntry> entries;
    for (const auto& [key, recno] : model) entries.push_back({key, recno});
    return entries;
}

BulkKeys bulkOf(const Model& model, uint16_t keyLength) {
    BulkKeys keys;
    keys.keyLength = keyLength;
    std::vector<std::pair<std::string, uint32_t>> shuffled(model.begin(), model.end());
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
    for (const auto& [key, recno] : shuffled) keys.add(key, recno);
    return keys;
}

// Keys that exercise the leaf compression: repeats, blanks, full-width keys, bytes above
// 0x7F, and record numbers of every entry width.
class EntryMaker {
  public:
    EntryMaker(uint16_t keyLength, char pad, unsigned seed)
        : keyLength_(keyLength), pad_(pad), random_(seed) {}

    std::pair<std::string, uint32_t> operator()() {
        std::string key;
        switch (random_() % 6) {
            case 0:
                key = "";
                break;  // blank
            case 1:
                key = common_[random_() % 4];
                break;
            case 2:
                key = std::string(keyLength_, static_cast<char>('A' + random_() % 3));
                break;
            default: {
                const size_t length = 1 + random_() % keyLength_;
                for (size_t i = 0; i < length; ++i)
                    key += random_() % 16 == 0 ? static_cast<char>(0xC0 + random_() % 32)
                                               : static_cast<char>('A' + random_() % 26);
            }
        }
        key.resize(keyLength_, pad_);
        uint32_t recno;
        switch (random_() % 5) {
            case 0:
                recno = 1 + random_() % 200;
                break;
            case 1:
                recno = 16000 + random_() % 800;
                break;  // around the 3-byte limit
            case 2:
                recno = 4194000 + random_() % 800;
                break;  // around the 4-byte limit
            case 3:
                recno = 0xFFFFFF00u + random_() % 0xFF;
                break;
            default:
                recno = 1 + random_() % 100000;
        }
        return {key, recno};
    }
    std::mt19937& random() { return random_; }

  private:
    uint16_t keyLength_;
    char pad_;
    std::mt19937 random_;
    const char* common_[4] = {"SMITH, JOHN", "SMITH", "O'BRIEN, PAT", "ZZ"};
};

Model randomEntries(size_t count, unsigned seed) {
    EntryMaker make(30, ' ', seed);
    Model model;
    while (model.size() < count) model.insert(make());
    return model;
}

void expectNavigationMatches(CdxTag& tag, const Model& model, EntryMaker& make) {
    for (int probe = 0; probe < 60; ++probe) {
        const auto [key, recno] = make();
        const auto atOrAfter = model.lower_bound({key, recno});
        const auto found = tag.lowerBound(key, recno);
        if (atOrAfter == model.end()) {
            EXPECT_FALSE(found);
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(found->key, atOrAfter->first);
            EXPECT_EQ(found->recno, atOrAfter->second);
        }
        const auto after = tag.next({key, recno});
        const auto modelAfter = model.upper_bound({key, recno});
        EXPECT_EQ(after.has_value(), modelAfter != model.end());
        if (after && modelAfter != model.end()) {
            EXPECT_EQ(after->recno, modelAfter->second);
        }
        const auto before = tag.prior({key, recno});
        EXPECT_EQ(before.has_value(), atOrAfter != model.begin());
        if (before && atOrAfter != model.begin()) {
            EXPECT_EQ(before->recno, std::prev(atOrAfter)->second);
        }
    }
}

struct Shape {
    uint16_t keyLength;
    char pad;
};

class CdxMaintenance : public ::testing::TestWithParam<Shape> {};

TEST_P(CdxMaintenance, RandomInsertsAndErasesMatchAnOrderedSet) {
    const Shape shape = GetParam();
    IndexFile index;
    CdxTag& tag = index.cdx->createTag("T", "key", "", static_cast<uint8_t>(shape.pad),
                                       BulkKeys{shape.keyLength, {}, {}});
    EntryMaker make(shape.keyLength, shape.pad, 11);
    Model model;
    const int batches = shape.keyLength > 100 ? 6 : 12;
    for (int batch = 0; batch < batches; ++batch) {
        const bool growing = batch < batches * 2 / 3;
        for (int op = 0; op < 500; ++op) {
            if (!model.empty() && make.random()() % 100 < (growing ? 30u : 70u)) {
                auto it = model.begin();
                std::advance(it, make.random()() % model.size());
                ASSERT_TRUE(tag.erase(it->first, it->second));
                model.erase(it);
            } else {
                const auto entry = make();
                tag.insert(entry.first, entry.second);
                model.insert(entry);
            }
        }
        SCOPED_TRACE("after batch " + std::to_string(batch));
        ASSERT_EQ(tag.verify(), std::vector<std::string>{});
        ASSERT_EQ(walk(tag), entriesOf(model));
        EXPECT_EQ(tag.keyCount(), model.size());
        expectNavigationMatches(tag, model, make);
    }
    // Entries that are not there, and entries already there.
    const auto [key, recno] = *model.begin();
    uint32_t absent = recno + 1;
    while (model.count({key, absent}) != 0) ++absent;
    EXPECT_FALSE(tag.erase(key, absent));
    tag.insert(key, recno);
    EXPECT_EQ(tag.keyCount(), model.size());
    EXPECT_EQ(walk(tag), entriesOf(model));

    // Down to nothing: the tree shrinks back to a single root leaf.
    for (const auto& [k, r] : model) ASSERT_TRUE(tag.erase(k, r));
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_FALSE(tag.first());
    EXPECT_FALSE(tag.last());
    EXPECT_EQ(tag.keyCount(), 0u);
    const uint32_t root = index.u32(tag.info().headerOffset);
    EXPECT_EQ(index.read(root, 4), (std::vector<uint8_t>{3, 0, 0, 0}));  // root leaf, no keys
}

INSTANTIATE_TEST_SUITE_P(Shapes, CdxMaintenance,
                         ::testing::Values(Shape{30, ' '}, Shape{8, '\0'}, Shape{240, ' '},
                                           Shape{1, ' '}),
                         [](const auto& shape) {
                             return "Key" + std::to_string(shape.param.keyLength) +
                                    (shape.param.pad == ' ' ? "Blank" : "Zero");
                         });

TEST(CdxFileTest, CreateWritesAnEmptyDirectory) {
    IndexFile index;
    EXPECT_EQ(index.file->size(), 1536u);
    EXPECT_TRUE(index.cdx->tagNames().empty());
    EXPECT_EQ(index.cdx->findTag("ADDRESS"), nullptr);
    const auto header = index.read(0, 16);
    EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()),
              (std::vector<uint8_t>{0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0xE0, 1}));
    EXPECT_EQ(index.read(0x400, 4), (std::vector<uint8_t>{3, 0, 0, 0}));

    // Only into an empty file.
    EXPECT_THROW(CdxFile::create(*index.file), Error);
}

TEST(CdxFileTest, BulkAndIncrementalBuildsWalkTheSame) {
    IndexFile index;
    EntryMaker make(30, ' ', 5);
    Model model;
    while (model.size() < 5000) model.insert(make());

    CdxTag& bulk = index.cdx->createTag("BULK", "upper(Name)", "", ' ', bulkOf(model, 30));
    CdxTag& grown = index.cdx->createTag("GROWN", "upper(Name)", "", ' ', BulkKeys{30, {}, {}});
    std::vector<std::pair<std::string, uint32_t>> shuffled(model.begin(), model.end());
    std::shuffle(shuffled.begin(), shuffled.end(), make.random());
    for (const auto& [key, recno] : shuffled) grown.insert(key, recno);

    EXPECT_EQ(walk(bulk), entriesOf(model));
    EXPECT_EQ(walk(grown), walk(bulk));
    EXPECT_EQ(bulk.verify(), std::vector<std::string>{});
    EXPECT_EQ(grown.verify(), std::vector<std::string>{});

    index.reopen();
    EXPECT_EQ(index.cdx->tagNames(), (std::vector<std::string>{"BULK", "GROWN"}));
    EXPECT_EQ(walk(*index.cdx->findTag("bulk")), entriesOf(model));
    EXPECT_EQ(walk(*index.cdx->findTag("Grown")), entriesOf(model));
}

TEST(CdxFileTest, BulkBuildPacksLeavesAndDropsRepeatedEntries) {
    IndexFile index;
    BulkKeys keys{30, {}, {}};
    for (uint32_t i = 0; i < 3000; ++i)
        keys.add(padded("GEN " + std::to_string(100000 - i)), i + 1);
    keys.add(padded("GEN 100000"), 1);  // the same entry again
    const uint64_t before = index.file->size();
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', std::move(keys));
    EXPECT_EQ(tag.keyCount(), 3000u);
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    // 11 stored bytes share 6 or 7 with the key before: about 8 bytes an entry, 60 a leaf.
    const uint64_t pages = (index.file->size() - before) / 512 - 2;
    EXPECT_LE(pages, 3000 / 55 + 3);
    const auto info = tag.info();
    EXPECT_EQ(info.name, "ADDRESS");
    EXPECT_EQ(info.keyExpression, "upper(Name)");
    EXPECT_EQ(info.options, 0x60);
    EXPECT_TRUE(info.machineCollation);
}

TEST(CdxFileTest, KeysInAscendingOrderLeaveFullLeaves) {
    IndexFile index;
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', BulkKeys{30, {}, {}});
    const uint64_t before = index.file->size();
    for (uint32_t i = 0; i < 4000; ++i)
        tag.insert(padded("NAME " + std::to_string(10000 + i)), i + 1);
    const uint64_t grown = index.file->size() - before;

    IndexFile other;
    BulkKeys keys{30, {}, {}};
    for (uint32_t i = 0; i < 4000; ++i)
        keys.add(padded("NAME " + std::to_string(10000 + i)), i + 1);
    const uint64_t start = other.file->size();
    CdxTag& bulk = other.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', std::move(keys));
    const uint64_t built = other.file->size() - start - 1024;
    EXPECT_EQ(walk(tag), walk(bulk));
    EXPECT_LE(grown, built + built / 10);
}

TEST(CdxFileTest, SeveralTagsAndReplacingOne) {
    IndexFile index;
    Model names = randomEntries(800, 9);
    CdxTag& second = index.cdx->createTag("PHONE", "phone", "", ' ', bulkOf(names, 30));
    index.cdx->createTag("address", "upper(Name)", "!deleted()", ' ', bulkOf(names, 30));
    index.cdx->createTag("ZIP", "zip", "", ' ', BulkKeys{30, {}, {}});
    EXPECT_EQ(index.cdx->tagNames(), (std::vector<std::string>{"ADDRESS", "PHONE", "ZIP"}));
    EXPECT_EQ(index.cdx->findTag("Address")->info().forExpression, "!deleted()");
    EXPECT_EQ(index.cdx->findTag("Address")->info().options, 0x68);

    // Replacing a tag keeps the object callers hold; its old pages go on the free list,
    // and a later change uses them before the file grows.
    Model numbers;
    for (uint32_t i = 1; i <= 50; ++i) numbers.insert({padded(std::to_string(i * 7), 8, '\0'), i});
    CdxTag& replaced = index.cdx->createTag("Phone", "val(phone)", "", 0, bulkOf(numbers, 8));
    EXPECT_EQ(&replaced, &second);
    EXPECT_EQ(second.info().keyLength, 8);
    EXPECT_EQ(walk(second), entriesOf(numbers));
    EXPECT_NE(index.u32(4), 0u);  // free-list head
    const uint64_t size = index.file->size();
    CdxTag& zip = *index.cdx->findTag("ZIP");
    for (uint32_t i = 0; i < 600; ++i)
        zip.insert(padded("Z" + std::to_string(i * 7919 % 1000)), i + 1);
    EXPECT_EQ(index.file->size(), size);

    for (const auto& name : index.cdx->tagNames())
        EXPECT_EQ(index.cdx->findTag(name)->verify(), std::vector<std::string>{}) << name;
    index.reopen();
    EXPECT_EQ(index.cdx->tagNames(), (std::vector<std::string>{"ADDRESS", "PHONE", "ZIP"}));
    CdxTag* phone = index.cdx->findTag("PHONE");
    phone->setPadByte(0);
    EXPECT_EQ(walk(*phone), entriesOf(numbers));
    EXPECT_EQ(walk(*index.cdx->findTag("ADDRESS")), entriesOf(names));
    EXPECT_EQ(index.cdx->findTag("ZIP")->keyCount(), 600u);
}

TEST(CdxFileTest, ManyTagsGrowTheDirectoryIntoATree) {
    IndexFile index;
    std::vector<std::string> names;
    std::mt19937 random(12);
    for (int i = 0; i < 150; ++i) {
        std::string name = "T";
        for (int c = 0; c < 9; ++c) name += static_cast<char>('A' + random() % 26);
        names.push_back(name);
        BulkKeys keys{10, {}, {}};
        keys.add(padded(name, 10), static_cast<uint32_t>(i + 1));
        index.cdx->createTag(name, "name", "", ' ', std::move(keys));
    }
    std::sort(names.begin(), names.end());
    // The directory's root is an interior node now.
    EXPECT_EQ(index.read(index.u32(0), 2), (std::vector<uint8_t>{1, 0}));
    index.reopen();
    EXPECT_EQ(index.cdx->tagNames(), names);
    for (const std::string& name : names) {
        CdxTag* tag = index.cdx->findTag(name);
        ASSERT_NE(tag, nullptr) << name;
        ASSERT_TRUE(tag->first());
        EXPECT_EQ(tag->first()->key, padded(name, 10));
    }
}

TEST(CdxFileTest, FreedPagesAreReused) {
    IndexFile index;
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', BulkKeys{30, {}, {}});
    std::mt19937 random(1);
    std::vector<std::string> keys;
    for (int i = 0; i < 3000; ++i) keys.push_back(padded("N" + std::to_string(random())));
    for (size_t i = 0; i < keys.size(); ++i) tag.insert(keys[i], static_cast<uint32_t>(i + 1));
    const uint64_t full = index.file->size();
    for (size_t i = 0; i < keys.size(); ++i)
        ASSERT_TRUE(tag.erase(keys[i], static_cast<uint32_t>(i + 1)));
    EXPECT_NE(index.u32(4), 0u);
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    for (size_t i = 0; i < keys.size(); ++i) tag.insert(keys[i], static_cast<uint32_t>(i + 1));
    EXPECT_LE(index.file->size(), full + 4 * 512);
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_EQ(tag.keyCount(), keys.size());
}

TEST(CdxFileTest, UnderfullNeighboursAreMerged) {
    IndexFile index;
    BulkKeys keys{30, {}, {}};
    for (uint32_t i = 0; i < 4000; ++i)
        keys.add(padded("MEMBER " + std::to_string(100000 + i)), i + 1);
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', std::move(keys));
    const uint64_t nodes = (index.file->size() - 1536 - 1024) / 512;
    // Three entries in four go, spread over every leaf.
    for (uint32_t i = 0; i < 4000; ++i) {
        if (i % 4 == 0) continue;
        ASSERT_TRUE(tag.erase(padded("MEMBER " + std::to_string(100000 + i)), i + 1));
    }
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_EQ(tag.keyCount(), 1000u);
    // Left a quarter full, the leaves join up in pairs or threes; the pages they free go on
    // the free list.
    size_t freePages = 0;
    for (uint32_t page = index.u32(4); page != 0 && freePages < 1000; page = index.u32(page))
        ++freePages;
    EXPECT_GE(freePages, nodes / 2);
}

TEST(CdxFileTest, TheRootMovesWhenTheTreeGrowsAndShrinks) {
    IndexFile index;
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', BulkKeys{30, {}, {}});
    const uint32_t header = tag.info().headerOffset;
    const uint32_t firstRoot = index.u32(header);
    std::vector<std::string> keys;
    for (int i = 0; i < 40; ++i)
        keys.push_back(padded("KEY " + std::to_string(i * 37 % 40) + " ABCDEFGHIJKLMNOPQRSTU"));
    for (size_t i = 0; i < keys.size(); ++i) tag.insert(keys[i], static_cast<uint32_t>(i + 1));
    const uint32_t grownRoot = index.u32(header);
    EXPECT_NE(grownRoot, firstRoot);
    EXPECT_EQ(index.read(grownRoot, 2), (std::vector<uint8_t>{1, 0}));  // an interior root
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});

    for (size_t i = 0; i + 3 < keys.size(); ++i)
        ASSERT_TRUE(tag.erase(keys[i], static_cast<uint32_t>(i + 1)));
    const uint32_t shrunkRoot = index.u32(header);
    EXPECT_EQ(index.read(shrunkRoot, 4), (std::vector<uint8_t>{3, 0, 3, 0}));  // leaf again
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_EQ(tag.keyCount(), 3u);
}

TEST(CdxFileTest, ChangeCounterIsBigEndianInTheHeader) {
    IndexFile index;
    EXPECT_EQ(index.cdx->readChangeCounter(), 0u);
    index.cdx->bumpChangeCounter();
    index.cdx->bumpChangeCounter();
    EXPECT_EQ(index.cdx->readChangeCounter(), 2u);
    EXPECT_EQ(index.read(8, 4), (std::vector<uint8_t>{0, 0, 0, 2}));
    index.reopen();
    EXPECT_EQ(index.cdx->readChangeCounter(), 2u);
}

TEST(CdxFileTest, DropCacheSeesWhatAnotherWriterDid) {
    IndexFile index;
    Model model;
    EntryMaker make(30, ' ', 21);
    while (model.size() < 500) model.insert(make());
    index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));

    auto otherFile =
        xbase::defaultFileSystem().open(index.dir / "ADDRESS.CDX", xbase::OpenFlags::ReadWrite);
    auto other = CdxFile::open(*otherFile);
    CdxTag* reader = other->findTag("ADDRESS");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(walk(*reader), entriesOf(model));

    CdxTag& writer = *index.cdx->findTag("ADDRESS");
    for (int i = 0; i < 300; ++i) {
        const auto entry = make();
        writer.insert(entry.first, entry.second);
        model.insert(entry);
    }
    index.cdx->bumpChangeCounter();
    EXPECT_EQ(other->readChangeCounter(), 1u);
    other->dropCache();
    EXPECT_EQ(walk(*reader), entriesOf(model));

    // The writer rebuilds the tag elsewhere in the file; the reader's pointer follows.
    index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));
    index.cdx->createTag("EXTRA", "x", "", ' ', BulkKeys{30, {}, {}});
    other->dropCache();
    EXPECT_EQ(other->findTag("ADDRESS"), reader);
    EXPECT_EQ(walk(*reader), entriesOf(model));
    EXPECT_EQ(other->tagNames(), (std::vector<std::string>{"ADDRESS", "EXTRA"}));
}

TEST(CdxFileTest, AScanMayChangeTheTagItWalks) {
    IndexFile index;
    Model model = randomEntries(1500, 4);
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));
    std::vector<IndexEntry> seen;
    tag.scan({}, 0, [&](std::string_view key, uint32_t recno) {
        seen.push_back({std::string(key), recno});
        EXPECT_TRUE(tag.erase(key, recno));
        return true;
    });
    EXPECT_EQ(seen, entriesOf(model));
    EXPECT_EQ(tag.keyCount(), 0u);
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
}

TEST(CdxFileTest, AScanSurvivesTheFileBeingReread) {
    IndexFile index;
    Model model = randomEntries(1200, 6);
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));
    std::vector<IndexEntry> seen;
    tag.scan({}, 0, [&](std::string_view key, uint32_t recno) {
        seen.push_back({std::string(key), recno});
        if (seen.size() == 100) index.cdx->dropCache();
        if (seen.size() == 400)
            index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));
        return true;
    });
    EXPECT_EQ(seen, entriesOf(model));
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
}

// A disk that refuses writes once armed.
class RefusingFile final : public xbase::File {
  public:
    explicit RefusingFile(std::unique_ptr<xbase::File> inner) : inner_(std::move(inner)) {}
    bool refuse = false;

    size_t readAt(uint64_t offset, void* buffer, size_t size) override {
        return inner_->readAt(offset, buffer, size);
    }
    void writeAt(uint64_t offset, const void* data, size_t size) override {
        if (refuse)
            throw Error(ErrorKind::IoError, xbase::code::WriteFailed, "Cannot write: disk full");
        inner_->writeAt(offset, data, size);
    }
    uint64_t size() override { return inner_->size(); }
    void truncate(uint64_t size) override { inner_->truncate(size); }
    void sync() override { inner_->sync(); }
    bool lockShared() override { return true; }
    bool lockExclusive() override { return true; }
    void unlockShare() override {}
    bool lockRange(uint64_t, uint64_t, bool, bool) override { return true; }
    void unlockRange(uint64_t, uint64_t) override {}
    const std::filesystem::path& path() const override { return inner_->path(); }

  private:
    std::unique_ptr<xbase::File> inner_;
};

TEST(CdxFileTest, AFailedWriteChangesNothing) {
    testsupport::TempDir dir;
    RefusingFile file(
        xbase::defaultFileSystem().open(dir / "ADDRESS.CDX", xbase::OpenFlags::CreateNew));
    auto cdx = CdxFile::create(file);
    Model model;
    EntryMaker make(30, ' ', 8);
    while (model.size() < 700) model.insert(make());
    CdxTag& tag = cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30));

    file.refuse = true;
    for (int i = 0; i < 50; ++i) {
        const auto entry = make();
        EXPECT_THROW(tag.insert(entry.first, entry.second), Error);
    }
    EXPECT_THROW(tag.erase(model.begin()->first, model.begin()->second), Error);
    EXPECT_THROW(cdx->createTag("OTHER", "x", "", ' ', bulkOf(model, 30)), Error);
    EXPECT_EQ(walk(tag), entriesOf(model));
    file.refuse = false;
    cdx = CdxFile::open(file);
    EXPECT_EQ(cdx->tagNames(), std::vector<std::string>{"ADDRESS"});
    EXPECT_EQ(walk(*cdx->findTag("ADDRESS")), entriesOf(model));
    EXPECT_EQ(cdx->findTag("ADDRESS")->verify(), std::vector<std::string>{});
}

TEST(CdxFileTest, RefusesWhatItCannotStore) {
    IndexFile index;
    CdxTag& tag = index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', BulkKeys{30, {}, {}});
    const auto kindOf = [](auto&& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.kind();
        }
        return ErrorKind::NotFound;  // "no error" for these checks
    };
    EXPECT_EQ(kindOf([&] { tag.insert("SHORT", 1); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(kindOf([&] { tag.insert(padded("ZERO"), 0); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(kindOf([&] { tag.erase("SHORT", 1); }), ErrorKind::InvalidArgument);
    for (const char* name : {"", "1ABC", "ELEVENCHARS", "A-B", "A B"})
        EXPECT_EQ(kindOf([&] {
                      index.cdx->createTag(name, "x", "", ' ', BulkKeys{30, {}, {}});
                  }),
                  ErrorKind::InvalidArgument)
            << name;
    EXPECT_EQ(kindOf([&] {
                  index.cdx->createTag("A", "x", "", ' ', BulkKeys{241, {}, {}});
              }),
              ErrorKind::InvalidArgument);
    EXPECT_EQ(kindOf([&] {
                  index.cdx->createTag("A", "x", "", ' ', BulkKeys{0, {}, {}});
              }),
              ErrorKind::InvalidArgument);
    EXPECT_EQ(kindOf([&] {
                  index.cdx->createTag("A", std::string(600, 'x'), "", ' ', BulkKeys{30, {}, {}});
              }),
              ErrorKind::InvalidArgument);
    BulkKeys ragged{30, "too short", {1}};
    EXPECT_EQ(kindOf([&] { index.cdx->createTag("A", "x", "", ' ', ragged); }),
              ErrorKind::InvalidArgument);
    EXPECT_EQ(index.cdx->tagNames(), std::vector<std::string>{"ADDRESS"});

    // Seek values longer than the key are cut to it.
    tag.insert(padded("SMITH"), 4);
    EXPECT_EQ(tag.lowerBound(padded("SMITH") + "EXTRA", 0), (IndexEntry{padded("SMITH"), 4}));
}

TEST(CdxFileTest, ATagOfAnotherCollationCanBeReadButNotChanged) {
    IndexFile index;
    Model model{{padded("A"), 1}, {padded("B"), 2}};
    const uint32_t header =
        index.cdx->createTag("ADDRESS", "upper(Name)", "", ' ', bulkOf(model, 30))
            .info()
            .headerOffset;
    index.file->writeAt(header + 494, "GENERAL", 7);
    index.reopen();
    CdxTag& tag = *index.cdx->findTag("ADDRESS");
    EXPECT_FALSE(tag.info().machineCollation);
    EXPECT_EQ(walk(tag), entriesOf(model));
    try {
        tag.insert(padded("C"), 3);
        ADD_FAILURE() << "inserted into a tag of another collation";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::NotSupported);
    }
    EXPECT_EQ(walk(tag), entriesOf(model));
}

}  // namespace
