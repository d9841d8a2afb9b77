#include <playlist/playlist_file.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "endless_inputs.h"
#include "file_size_limit.h"
#include "temp_dir.h"
#include "test_files.h"

namespace {

using playlist::Items;

using testsupport::readBytes;
using testsupport::writeBytes;

TEST(PlaylistFormat, CrLfFileWithBlankLinesRoundTripsByteForByte) {
    testsupport::TempDir dir;
    const std::string bytes = "#EXTM3U\r\nC:\\Music\\a b.mp3\r\n\r\n\r\nd:\\x\xe9.ogg\r\n\r\n";
    writeBytes(dir / "list.m3u", bytes);

    const Items items = playlist::readPlaylistFile(dir / "list.m3u");
    EXPECT_EQ(items, (Items{"#EXTM3U", "C:\\Music\\a b.mp3", "", "", "d:\\x\xe9.ogg", ""}));

    playlist::writePlaylistFile(dir / "again.m3u", items);
    EXPECT_EQ(readBytes(dir / "again.m3u"), bytes);
}

TEST(PlaylistFormat, LineEnds) {
    // A missing line end after the last line is still an item, and is added on writing.
    EXPECT_EQ(playlist::parsePlaylist("a\r\nb"), (Items{"a", "b"}));
    EXPECT_EQ(playlist::formatPlaylist({"a", "b"}), "a\r\nb\r\n");
    // LF alone is an ordinary character: a Unix file is one item.
    EXPECT_EQ(playlist::parsePlaylist("a\nb\nc\n"), (Items{"a\nb\nc\n"}));
    // CR alone ends a line; an LF belongs to the line end only right after a CR.
    EXPECT_EQ(playlist::parsePlaylist("a\rb\r\n\nc"), (Items{"a", "b", "\nc"}));
    EXPECT_EQ(playlist::parsePlaylist("\r\n"), (Items{""}));
    EXPECT_EQ(playlist::parsePlaylist("\r\r\n"), (Items{"", ""}));
    EXPECT_TRUE(playlist::parsePlaylist("").empty());
}

TEST(PlaylistFormat, CtrlZEndsTheText) {
    EXPECT_EQ(playlist::parsePlaylist("a\r\nb\x1a\r\nc\r\n"), (Items{"a", "b"}));
    EXPECT_EQ(playlist::parsePlaylist("a\r\n\x1a"), (Items{"a"}));
    EXPECT_TRUE(playlist::parsePlaylist("\x1a"
                                        "a\r\n")
                    .empty());
}

TEST(PlaylistFormat, BytesAreKeptAsTheyAre) {
    const std::string odd = std::string("x\0y", 3) + "\t \xff\x80";
    EXPECT_EQ(playlist::parsePlaylist(odd + "\r\n"), (Items{odd}));
    EXPECT_EQ(playlist::formatPlaylist({odd}), odd + "\r\n");
}

TEST(PlaylistFormat, LongItemIsReadWhole) {
    testsupport::TempDir dir;
    const std::string longItem = "C:\\" + std::string(9'993, 'n') + ".mp3";
    ASSERT_EQ(longItem.size(), 10'000u);
    writeBytes(dir / "long.m3u", "first\r\n" + longItem + "\r\nlast\r\n");
    EXPECT_EQ(playlist::readPlaylistFile(dir / "long.m3u"), (Items{"first", longItem, "last"}));
}

TEST(PlaylistFormat, LargeFileAcrossReadBuffers) {
    testsupport::TempDir dir;
    Items items;
    for (int i = 0; i < 20'000; ++i) items.push_back("/music/track" + std::to_string(i) + ".ogg");
    playlist::writePlaylistFile(dir / "big.m3u", items);
    EXPECT_EQ(playlist::readPlaylistFile(dir / "big.m3u"), items);
}

TEST(PlaylistFormat, WritingReplacesAnExistingFile) {
    testsupport::TempDir dir;
    writeBytes(dir / "old.m3u", "one\r\ntwo\r\nthree\r\nfour\r\n");
    playlist::writePlaylistFile(dir / "old.m3u", {"new"});
    EXPECT_EQ(readBytes(dir / "old.m3u"), "new\r\n");
}

TEST(PlaylistFormat, FileErrorsCarryTheInputOutputText) {
    testsupport::TempDir dir;
    auto messageOf = [](auto&& action) -> std::string {
        try {
            action();
        } catch (const playlist::PlaylistFileError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf([&] { playlist::readPlaylistFile(dir / "missing.m3u"); }),
              "File not found");
    EXPECT_EQ(messageOf([&] { playlist::writePlaylistFile(dir / "no" / "such.m3u", {"a"}); }),
              "File not found");
    EXPECT_EQ(messageOf([&] { playlist::readPlaylistFile(dir.path()); }), "File access denied");
    EXPECT_EQ(messageOf([&] { playlist::writePlaylistFile(dir.path(), {"a"}); }),
              "File access denied");

    try {
        playlist::readPlaylistFile(dir / "missing.m3u");
    } catch (const playlist::PlaylistFileError& error) {
        EXPECT_EQ(error.path(), dir / "missing.m3u");
        EXPECT_NE(error.systemError(), 0);
    }
}

TEST(PlaylistFormat, DevicesPipesAndHugeFilesAreRefusedAtOnce) {
    testsupport::TempDir dir;
    for (const auto& input : testsupport::plantEndlessInputs(dir.path(), "list.m3u"))
        EXPECT_REFUSED_IN_TIME(playlist::readPlaylistFile(input), "refused: File access denied")
            << input;
    writeBytes(dir / "huge.m3u", "C:\\Music\\a.mp3\r\n");
    std::filesystem::resize_file(dir / "huge.m3u", 64u << 20);
    EXPECT_THROW(
        {
            try {
                playlist::readPlaylistFile(dir / "huge.m3u");
            } catch (const playlist::PlaylistFileError& error) {
                EXPECT_STREQ(error.what(), "File too large");
                throw;
            }
        },
        playlist::PlaylistFileError);
}

TEST(PlaylistFormat, AWriteThatFailsPartWayLeavesTheOldListWhole) {
    testsupport::TempDir dir;
    const std::string old = "C:\\Music\\old.mp3\r\n";
    writeBytes(dir / "list.m3u", old);
    Items longer;
    for (int i = 0; i < 2000; ++i) longer.push_back("/music/track" + std::to_string(i) + ".ogg");
    std::string message = "no error";
    {
        testsupport::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        try {
            playlist::writePlaylistFile(dir / "list.m3u", longer);
        } catch (const playlist::PlaylistFileError& error) {
            message = error.what();
        }
    }
    EXPECT_EQ(message, "Disk write error");
    EXPECT_EQ(readBytes(dir / "list.m3u"), old);
    // Nothing of the failed write is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
