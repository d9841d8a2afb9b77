// Compound indexes written by another FoxPro-format engine: one built by inserts (two
// levels), one built in one pass (three levels). Their name lists give the order that
// engine's own walk of tag ADDRESS produces.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cdx.h"
#include "table_fixture.h"
#include "xbase/error.h"
#include "xbase/file_system.h"

namespace {

using tabletest::upperKey;
using tabletest::walk;
using xbase::CdxFile;
using xbase::CdxTag;
using xbase::IndexEntry;

const std::filesystem::path kForeign = std::filesystem::path(CARDHOLD_TEST_DATA_DIR) / "foreign";
constexpr size_t kKeyLength = 30;

// The walk the other engine gave, with the deleted record's key in its place: the list
// holds only live records, the index holds every record.
std::vector<std::string> expectedKeys(const std::string& set) {
    std::vector<std::string> keys;
    for (const std::string& name : tabletest::readLines(kForeign / (set + ".names")))
        keys.push_back(upperKey(name));
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));  // byte order, as the index has it
    const std::string deleted = upperKey("O'Brien, Pat");
    keys.insert(std::upper_bound(keys.begin(), keys.end(), deleted), deleted);
    return keys;
}

struct ForeignIndex {
    testsupport::TempDir dir;
    std::unique_ptr<xbase::File> file;
    std::unique_ptr<CdxFile> cdx;
    CdxTag* tag = nullptr;

    explicit ForeignIndex(const std::string& set) {
        const auto copy = dir / "ADDRESS.CDX";
        std::filesystem::copy_file(kForeign / set / "ADDRESS.CDX", copy);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        file = xbase::defaultFileSystem().open(copy, xbase::OpenFlags::ReadWrite);
        cdx = CdxFile::open(*file);
        tag = cdx->findTag("address");
        if (tag) tag->setPadByte(' ');
    }
};

class ForeignCdx : public ::testing::TestWithParam<std::string> {};

TEST_P(ForeignCdx, WalkGivesTheOtherEnginesOrder) {
    ForeignIndex index(GetParam());
    ASSERT_NE(index.tag, nullptr);
    EXPECT_EQ(index.cdx->tagNames(), std::vector<std::string>{"ADDRESS"});
    const xbase::TagInfo& info = index.tag->info();
    EXPECT_EQ(info.keyExpression, "upper(Name)");
    EXPECT_EQ(info.forExpression, "");
    EXPECT_EQ(info.keyLength, kKeyLength);
    EXPECT_FALSE(info.descending);
    EXPECT_FALSE(info.unique);
    EXPECT_TRUE(info.machineCollation);

    const std::vector<IndexEntry> entries = walk(*index.tag);
    std::vector<std::string> keys;
    for (const auto& e : entries) keys.push_back(e.key);
    EXPECT_EQ(keys, expectedKeys(GetParam()));
    for (size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].key == entries[i - 1].key) {
            EXPECT_LT(entries[i - 1].recno, entries[i].recno);
        }
    }
    EXPECT_EQ(index.tag->keyCount(), entries.size());
    EXPECT_EQ(index.tag->verify(), std::vector<std::string>{});
}

TEST_P(ForeignCdx, NavigationAgreesWithTheWalk) {
    ForeignIndex index(GetParam());
    ASSERT_NE(index.tag, nullptr);
    CdxTag& tag = *index.tag;
    const std::vector<IndexEntry> entries = walk(tag);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(tag.first(), entries.front());
    EXPECT_EQ(tag.last(), entries.back());

    // Bounded, so that a cursor that stops moving fails rather than hangs.
    std::vector<IndexEntry> forward;
    for (auto e = tag.first(); e && forward.size() <= entries.size(); e = tag.next(*e))
        forward.push_back(*e);
    EXPECT_EQ(forward, entries);
    std::vector<IndexEntry> backward;
    for (auto e = tag.last(); e && backward.size() <= entries.size(); e = tag.prior(*e))
        backward.push_back(*e);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, entries);

    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(tag.lowerBound(entries[i].key, entries[i].recno), entries[i]);
        // Just past an entry: the next one, also when the cursor jumps around.
        const auto after = tag.lowerBound(entries[i].key, entries[i].recno + 1);
        if (i + 1 < entries.size())
            EXPECT_EQ(after, entries[i + 1]);
        else
            EXPECT_FALSE(after);
    }
    // A prefix finds the first key that starts with it.
    const auto smith = std::find_if(entries.begin(), entries.end(), [](const IndexEntry& e) {
        return e.key.rfind("SMITH", 0) == 0;
    });
    ASSERT_NE(smith, entries.end());
    EXPECT_EQ(tag.lowerBound("SMITH", 0), *smith);
    EXPECT_EQ(tag.lowerBound("SMITH", 999999), *smith);  // the record number does not count
    EXPECT_EQ(tag.lowerBound("", 0), entries.front());
    EXPECT_FALSE(tag.lowerBound("\xFF", 0));
    EXPECT_FALSE(tag.next(entries.back()));
    EXPECT_FALSE(tag.prior(entries.front()));
}

TEST_P(ForeignCdx, KeepsWorkingAfterChanges) {
    ForeignIndex index(GetParam());
    ASSERT_NE(index.tag, nullptr);
    CdxTag& tag = *index.tag;
    std::vector<IndexEntry> model = walk(tag);
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        if (i % 3 == 2) {
            const size_t at = random() % model.size();
            EXPECT_TRUE(tag.erase(model[at].key, model[at].recno));
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            IndexEntry e{upperKey("NEW " + std::to_string(random() % 5000)),
                         20000 + static_cast<uint32_t>(i)};
            tag.insert(e.key, e.recno);
            model.insert(std::upper_bound(model.begin(), model.end(), e,
                                          [](const IndexEntry& a, const IndexEntry& b) {
                                              return a.key != b.key ? a.key < b.key
                                                                    : a.recno < b.recno;
                                          }),
                         e);
        }
    }
    EXPECT_EQ(tag.verify(), std::vector<std::string>{});
    EXPECT_EQ(walk(tag), model);

    // What is on disk is what the cache says.
    index.cdx = CdxFile::open(*index.file);
    CdxTag* reopened = index.cdx->findTag("ADDRESS");
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(walk(*reopened), model);
}

INSTANTIATE_TEST_SUITE_P(Sets, ForeignCdx, ::testing::Values("inc250", "bulk3000"));

}  // namespace
