// Folders from elsewhere: symbolic links planted where the engine writes its new files or
// keeps its table files, pipes in place of table files, and the permissions of what the
// engine writes.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <xbase/error.h>
#include <xbase/inspect.h>

#include "endless_inputs.h"
#include "table_fixture.h"

using namespace tabletest;
using xbase::Cursor;
using xbase::ShareMode;

namespace {

// An address book with three entries, and a folder elsewhere that links may point into.
struct LinkedFolder {
    testsupport::TempDir book;
    testsupport::TempDir elsewhere;
    fs::path table;

    LinkedFolder() {
        table = writeEntries(
            book.path(),
            {{"Cole", "Memo of Cole"}, {"Adams", "Memo of Adams"}, {"Baker", "Memo of Baker"}});
    }

    // A file elsewhere that must keep its bytes.
    fs::path victim(const std::string& name) {
        writeBytes(elsewhere / name, "keep " + name);
        return elsewhere / name;
    }
    void plant(const std::string& name, const fs::path& target) {
        fs::create_symlink(target, book / name);
    }

    // Moves a table file elsewhere and leaves a link to it in its place.
    fs::path linkOut(const std::string& name) {
        const fs::path target = elsewhere / ("real-" + name);
        fs::rename(book / name, target);
        plant(name, target);
        return target;
    }

    std::vector<std::string> packLeftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(book.path())) {
            std::string name = entry.path().filename().string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (name.find(".pack") != std::string::npos)
                found.push_back(entry.path().filename().string());
        }
        return found;
    }
};

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

TEST(PlantedLinks, PackReindexAndNewTagsNeverWriteThroughThem) {
    LinkedFolder folder;
    // Links where earlier versions put their new files, dangling or onto a real file, with
    // decoys in other letter cases that used to shield them from the sweep.
    const fs::path victim = folder.victim("notes.txt");
    folder.plant("ADDRESS.DBF.packing", folder.elsewhere / "made-by-pack.sh");
    folder.plant("ADDRESS.fpt.packing", victim);
    writeBytes(folder.book / "ADDRESS.FPT.PACKING", "decoy");
    folder.plant("ADDRESS.CDX.packing", folder.elsewhere / "made-by-index");
    writeBytes(folder.book / "Address.Cdx.Packing", "decoy");
    folder.plant("ADDRESS.DBF.packed", folder.elsewhere / "marker");

    Cursor c;
    c.open(folder.table, openOptions(ShareMode::Exclusive, "ADDRESS"));
    EXPECT_TRUE(folder.packLeftovers().empty()) << folder.packLeftovers()[0];
    c.pack();
    c.reindex();
    c.createIndex("LASTDATE", "LastDate");
    c.selectIndex("ADDRESS");
    EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker", "Cole"}));
    c.close();

    EXPECT_EQ(readBytes(victim), "keep notes.txt");
    std::vector<std::string> elsewhere;
    for (const auto& entry : fs::directory_iterator(folder.elsewhere.path()))
        elsewhere.push_back(entry.path().filename().string());
    EXPECT_EQ(elsewhere, std::vector<std::string>{"notes.txt"});
    EXPECT_TRUE(folder.packLeftovers().empty());
    EXPECT_TRUE(xbase::checkTable(folder.table).ok());
}

TEST(PlantedLinks, ATableFileThatIsALinkIsOpenedForReadingOnly) {
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"}) {
        LinkedFolder folder;
        const fs::path target = folder.linkOut(name);
        const std::string before = readBytes(target);

        Cursor c;
        c.open(folder.book / "ADDRESS.DBF", openOptions(ShareMode::Shared, "ADDRESS"));
        EXPECT_EQ(names(c), (std::vector<std::string>{"Adams", "Baker", "Cole"})) << name;
        c.seekExact("COLE");
        EXPECT_EQ(c.memo(1), "Memo of Cole") << name;
        try {
            c.append();
            c.setText(0, "Dunn");
            c.post();
            ADD_FAILURE() << "a write went through the link " << name;
        } catch (const xbase::Error& refusal) {
            EXPECT_EQ(refusal.number(), xbase::code::ReadOnly);
            EXPECT_NE(std::string(refusal.what()).find(std::string(name) + " is a symbolic link"),
                      std::string::npos)
                << refusal.what();
            c.cancel();
        }
        c.close();
        Cursor exclusive;
        exclusive.open(folder.book / "ADDRESS.DBF", openOptions(ShareMode::Exclusive));
        EXPECT_THROW(exclusive.pack(), xbase::Error) << name;
        EXPECT_THROW(exclusive.reindex(), xbase::Error) << name;
        exclusive.close();
        EXPECT_TRUE(readBytes(target) == before) << name << " was changed";
        EXPECT_TRUE(fs::is_symlink(folder.book / name)) << name;
    }
}

TEST(PlantedLinks, ANewTableReplacesLeftoverLinksWithoutTouchingTheirTargets) {
    testsupport::TempDir book, elsewhere;
    writeBytes(elsewhere / "id_rsa", "secret");
    fs::create_symlink(elsewhere / "id_rsa", book / "ADDRESS.fpt");
    fs::create_symlink(elsewhere / "id_rsa", book / "address.CDX");
    fs::create_symlink(elsewhere / "gone", book / "ADDRESS.CDX");

    makeAddressTable(book.path());
    Cursor c;
    c.open(book / "ADDRESS.DBF", openOptions(ShareMode::Shared, "ADDRESS"));
    addEntry(c, "Adams", "A memo");
    c.close();
    EXPECT_EQ(readBytes(elsewhere / "id_rsa"), "secret");
    EXPECT_FALSE(fs::exists(elsewhere / "gone"));
    for (const char* name : {"ADDRESS.fpt", "ADDRESS.CDX"})
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(book / name))) << name;
    EXPECT_FALSE(fs::exists(fs::symlink_status(book / "address.CDX")));
}

TEST(PlantedPipes, ATableFileThatIsAPipeIsRefusedAtOnce) {
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"}) {
        LinkedFolder folder;
        fs::remove(folder.book / name);
        ASSERT_EQ(mkfifo((folder.book / name).c_str(), 0444), 0);
        EXPECT_REFUSED_IN_TIME(Cursor().open(folder.table), "refused: .*not a regular file")
            << name;
    }
}

TEST(Permissions, NewFilesFollowTheUmaskAndRewrittenOnesKeepTheirMode) {
    testsupport::TempDir book;
    const mode_t saved = umask(027);
    const fs::path table = makeAddressTable(book.path());
    umask(saved);
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"})
        EXPECT_EQ(modeOf(book / name), 0640u) << name;

    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"})
        fs::permissions(book / name, fs::perms(0600));
    Cursor c;
    c.open(table, openOptions(ShareMode::Exclusive, "ADDRESS"));
    c.pack();
    c.reindex();
    c.close();
    for (const char* name : {"ADDRESS.DBF", "ADDRESS.fpt", "ADDRESS.CDX"})
        EXPECT_EQ(modeOf(book / name), 0600u) << name;
}

}  // namespace
