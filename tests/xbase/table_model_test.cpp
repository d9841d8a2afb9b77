// Thousands of random appends, renames and deletes, checked against a simple model of
// what the table must hold and in which order.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include <xbase/inspect.h>

#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

std::string randomName(std::mt19937& rng) {
    static const char* const stems[] = {"smith", "Smith",   "SMITH",
                                        "Adams", "baker",   "O'Brien",
                                        "",      " ",       "Zimmermann-Schulze, Maximilian",
                                        "Jones", "jones, b"};
    std::string name = stems[rng() % std::size(stems)];
    if (rng() % 2) name += " " + std::to_string(rng() % 50);
    return rightTrimmed(name.substr(0, 30));
}

TEST(Model, RandomEditsKeepIndexAndRecordsInStep) {
    testsupport::TempDir dir;
    const fs::path path = makeAddressTable(dir.path());
    Cursor c;
    c.open(path, openOptions(ShareMode::Shared, "ADDRESS"));
    std::map<uint32_t, std::pair<std::string, std::string>> model;  // recno -> name, memo
    std::mt19937 rng(2024);
    for (int step = 0; step < 4000; ++step) {
        const int action = static_cast<int>(rng() % 10);
        if (action < 5 || model.empty()) {
            const std::string name = randomName(rng), memo = "memo " + std::to_string(step);
            addEntry(c, name, memo);
            model[c.recno()] = {name, memo};
            continue;
        }
        auto it = model.begin();
        std::advance(it, rng() % model.size());
        ASSERT_TRUE(c.gotoBookmark(xbase::Bookmark{it->first}));
        if (action < 8) {
            c.edit();
            it->second.first = randomName(rng);
            c.setText(0, it->second.first);
            if (action == 7) {
                it->second.second = std::string(rng() % 300, 'm');
                c.setMemo(1, it->second.second);
            }
            c.post();
        } else {
            c.deleteRecord();
            model.erase(it);
        }
    }

    // The index walk gives the model's entries sorted by (upper-case name, record).
    std::vector<std::pair<std::string, uint32_t>> expected;
    for (const auto& [recno, entry] : model) expected.push_back({upper(entry.first), recno});
    std::sort(expected.begin(), expected.end());
    std::vector<std::pair<std::string, uint32_t>> walked;
    for (c.first(); !c.eof(); c.next()) {
        walked.push_back({upper(c.text(0)), c.recno()});
        EXPECT_EQ(c.memo(1), model[c.recno()].second);
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(c.recordCount(), model.size());
    // Backwards too.
    std::vector<uint32_t> backwards;
    for (c.last(); !c.bof(); c.prior()) backwards.push_back(c.recno());
    std::reverse(backwards.begin(), backwards.end());
    std::vector<uint32_t> expectedRecnos;
    for (const auto& e : expected) expectedRecnos.push_back(e.second);
    EXPECT_EQ(backwards, expectedRecnos);
    c.close();

    const auto report = xbase::checkTable(path);
    EXPECT_TRUE(report.ok()) << (report.faults.empty() ? "" : report.faults[0]);

    // A pack renumbers the records and keeps the same order.
    c.open(path, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.pack();
    std::vector<std::string> after;
    for (c.first(); !c.eof(); c.next()) after.push_back(upper(c.text(0)));
    ASSERT_EQ(after.size(), expected.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], expected[i].first);
}

}  // namespace
