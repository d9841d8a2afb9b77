#include <playlist/playlist_rules.h>

#include <QDir>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

using playlist::ListChoice;

TEST(PlaylistAnswer, FirstLetterDecidesInEitherCase) {
    for (const char* answer : {"e", "E", "edit", "exit", "Eh?"}) {
        EXPECT_EQ(playlist::chooseList(QString::fromLatin1(answer)), ListChoice::Edit) << answer;
    }
    for (const char* answer : {"n", "N", "new", "no"}) {
        EXPECT_EQ(playlist::chooseList(QString::fromLatin1(answer)), ListChoice::New) << answer;
    }
    for (const char* answer : {"", " e", "x", "1", "?n"}) {
        EXPECT_FALSE(playlist::chooseList(QString::fromLatin1(answer))) << answer;
    }
}

QStringList Tracks(const QString& memo) {
    return playlist::memoTracks(memo, playlist::MemoCodePage::latin1());
}

TEST(PlaylistMemoTracks, OneNamePerLineInOrderWithDuplicates) {
    const QString memo = QStringLiteral(
        "Songs: d:\\music\\a.mp3, d:\\music\\b.mp3\r\n"
        "no file here, just words.\r\n"
        "again D:\\Music\\A.mp3\r"
        "/srv/music/c d.ogg (live)\n"
        "d:\\music\\a.mp3");
    EXPECT_EQ(Tracks(memo), (QStringList{"d:\\music\\a.mp3", "D:\\Music\\A.mp3",
                                         "/srv/music/c d.ogg", "d:\\music\\a.mp3"}));
}

TEST(PlaylistMemoTracks, PlaylistsAreNeverOffered) {
    const QString memo = QStringLiteral(
        "c:\\lists\\party.m3u\n"
        "c:\\lists\\PARTY.M3U\n"
        "/home/me/Mix.M3u8\n"
        "c:\\odd.m3ux\\song.mp3\n"
        "c:\\keep\\song.mp3");
    EXPECT_EQ(Tracks(memo), QStringList{"c:\\keep\\song.mp3"});
}

TEST(PlaylistMemoTracks, MemoWithoutFileNamesOffersNothing) {
    EXPECT_TRUE(Tracks(QStringLiteral("Call 555-1234\nwww.example.com\nC:\\Temp")).isEmpty());
    EXPECT_TRUE(Tracks(QString()).isEmpty());
}

TEST(PlaylistMemoTracks, HomeFolderIsSpelledOut) {
    EXPECT_EQ(Tracks(QStringLiteral("~/Music/a.flac")),
              QStringList{QDir::homePath() + QStringLiteral("/Music/a.flac")});
}

TEST(PlaylistMemoTracks, NamesComeBackInTheTablesCodePage) {
    // The scanner sees one byte per character, then the name is decoded again.
    EXPECT_EQ(Tracks(QStringLiteral("c:\\Musik\\Br\u00fcder \u00e9t\u00e9.mp3")),
              QStringList{QStringLiteral("c:\\Musik\\Br\u00fcder \u00e9t\u00e9.mp3")});
}

TEST(PlaylistMemoTracks, LinesTheCodePageCannotHoldAreStillScanned) {
    const QString russian = QStringLiteral("/home/me/\u041c\u0443\u0437\u044b\u043a\u0430/a.mp3");
    EXPECT_EQ(Tracks(russian + QStringLiteral(" now")), QStringList{russian});

    // A name cut at the byte limit loses the whole of a split character, not half of it.
    QString longName = QStringLiteral("/m/");
    while (longName.toUtf8().size() < 300) longName += QChar(0x0416);
    const QStringList tracks = Tracks(longName + QStringLiteral(".mp3"));
    ASSERT_EQ(tracks.size(), 1);
    EXPECT_FALSE(tracks.front().contains(QChar::ReplacementCharacter));
    EXPECT_TRUE(longName.startsWith(tracks.front()));
    EXPECT_GE(tracks.front().toUtf8().size(), 254);
}

TEST(PlaylistSameFileName, IgnoresLetterCaseOnlyByTheLocale) {
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        const playlist::SameFileName same;
        EXPECT_TRUE(same(QStringLiteral("C:\\Music\\A.MP3"), QStringLiteral("c:\\music\\a.mp3")));
        EXPECT_TRUE(same(QStringLiteral("/m/\u00c4RGER.ogg"), QStringLiteral("/m/\u00e4rger.OGG")));
        EXPECT_FALSE(same(QStringLiteral("/m/cafe.ogg"), QStringLiteral("/m/caf\u00e9.ogg")));
        EXPECT_FALSE(same(QStringLiteral("/m/a.mp3"), QStringLiteral("/m/a.mp3 ")));
        EXPECT_FALSE(same(QStringLiteral("/m/a-b.mp3"), QStringLiteral("/m/ab.mp3")));
    }
    QLocale::setDefault(QLocale::system());
}

TEST(PlaylistSaveName, DefaultSuffixOnlyForNamesWithoutExtension) {
    EXPECT_EQ(playlist::withDefaultSuffix("/tmp/party", "m3u"), "/tmp/party.m3u");
    EXPECT_EQ(playlist::withDefaultSuffix("/tmp/dir.d/party", "m3u"), "/tmp/dir.d/party.m3u");
    EXPECT_EQ(playlist::withDefaultSuffix("/tmp/party.txt", "m3u"), "/tmp/party.txt");
    EXPECT_EQ(playlist::withDefaultSuffix("/tmp/party.M3U", "m3u"), "/tmp/party.M3U");
}

}  // namespace
