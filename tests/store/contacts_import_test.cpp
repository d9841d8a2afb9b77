// Contacts into an address book: cards and rows as real programs write them, and every
// rule an incoming entry meets on its way into the table.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "contacts_fixture.h"

namespace {

using contactstest::ContactsTest;
using contactstest::crlf;
using contactstest::sample;

std::string joinedLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += line + "\n";
    return out;
}

TEST_F(ContactsTest, SamplesOfPhonesMailProgramsAndWebAddressBooksBecomeTheseEntries) {
    const std::vector<std::string> files = {
        "rfc2426.vcf",          "rfc6350.vcf",      "mail-2.1-cp1252.vcf",
        "phone-2.1.vcf",        "apple-3.0.vcf",    "web-3.0.vcf",
        "web-address-book.csv", "mail-program.csv", "mail-client.csv"};
    std::vector<std::filesystem::path> paths;
    for (const auto& f : files) paths.push_back(sample(f));
    const store::ImportReport report = store::importContacts(*book, paths);
    EXPECT_EQ(report.summary(),
              "16 read, 14 added, 0 already there, 0 renamed, 2 changed, 2 skipped");
    EXPECT_FALSE(report.failed());
    ASSERT_EQ(report.addedEntries.size(), 14u);
    EXPECT_EQ(report.addedEntries.front().name, "Frank Dawson");

    const std::map<std::string, std::string> expected = {
        {"Frank Dawson",
         "Lotus Development Corporation\n6544 Battleford Drive\nRaleigh, NC 27613-3502\nU.S.A.\n"
         "Work: +1-919-676-9515\nFax: +1-919-676-9564\nEmail: Frank_Dawson@Lotus.com\n"
         "Email: fdawson@earthlink.net\nWeb: http://home.earthlink.net/~fdawson"},
        {"Tim Howes",
         "Netscape Communications Corp.\n501 E. Middlefield Rd.\nMountain View, CA 94043\nU.S.A.\n"
         "Work: +1-415-937-3419\nFax: +1-415-528-4164\nEmail: howes@netscape.com"},
        {"Perreault, Simon",
         "Viagenie\nSuite D2-630\n2875 Laurier\nQuebec, QC G1V 2M2\nCanada\nWork: "
         "+1-418-656-9254;ext=102\n"
         "Cell: +1-418-262-6501\nEmail: simon.perreault@viagenie.ca\nWeb: http://nomis80.org\n"
         "Birthday: --0203\nAnniversary: 2009-08-08"},
        {"Müller, Jürgen",
         "Beispiel GmbH, Vertrieb\nGeschäftsführer\nHauptstraße 1\nBerlin, 10115\nDeutschland\n"
         "Work: +49 30 1234567\nHome: 030 7654321\nCell: 0171 1234567\nFax: +49 30 1234568\n"
         "Email: juergen@example.de\nErste Zeile\nZweite Zeile mit Umlaut ü und einer sehr langen "
         "Fortsetzung"},
        {"Lukasiewicz, Jan",
         "Politechnika\nCell: +48 600 123 456\nHome: +48 22 123 45 67\nEmail: jan@example.pl\n"
         "Dluga notatka, która ma miekki podzial wiersza"},
        {"Mama", "Cell: 555-0100"},
        {"Pizza Express", "Work: 555-0111"},
        {"Appleseed, Johnny Q.",
         "Apple Inc.\nOrchard keeper\n1 Infinite Loop\nCupertino, CA 95014\nUnited States\n"
         "Cell: (408) 555-5270\nCell: 408-555-0101\nPhone: 555-0199\nEmail: johnny@example.com\n"
         "Web: http://www.apple.com\nBirthday: 1975-06-15"},
        {"García, Ana María",
         "Calle Mayor 5\n2º B\nMadrid, 28013\nEspaña\nCell: +34 612 34 56 78\nEmail: "
         "ana@example.com\n"
         "Email: ana.garcia@example.org\nWeb: https://ana.example.com\nBirthday: "
         "1990-02-28\nNickname: Anita\n"
         "Conocida en la conferencia, 2019.\nLlamar por la tarde; nunca antes de las 10."},
        {"?mega-Lódz, Zoë", "Email: zoe@example.net"},
        {"Smith, Anna Maria",
         "Lakeside Ltd\nManager\n12 Lake Rd\nSeattle, WA 98101\nUSA\nCell: +1 206-555-0100\n"
         "Cell: +1 206-555-0101\nFax: 206-555-0199\nEmail: anna@example.com\n"
         "Email: anna.smith@work.example.com\nWeb: https://anna.example.com\nBirthday: 1985-04-12\n"
         "Anniversary: 2010-06-05\nNickname: Annie\nMet at \"Lakeside\" camp.\nCall after six."},
        {"Bob's Garage", "Work: 555-0142"},
        {"Lefèvre, François",
         "Société Générale, Crédit\nAnalyste\n1 Rue de la Paix\nParis, 75002\nFrance\nFax: +33 1 "
         "42 00 00 01\n"
         "Work: +33 1 42 00 00 00\nCell: +33 6 12 34 56 78\nEmail: francois@example.fr\nWeb: "
         "www.example.fr\n"
         "Préfère le courriel"},
        {"Chen, Wei", "Work: 010-555-0000\nEmail: wei@example.cn\nBirthday: 1990-03-07"},
    };
    const auto actual = entries();
    for (const auto& [name, memo] : expected) {
        ASSERT_TRUE(actual.count(name)) << name;
        EXPECT_EQ(actual.at(name), crlf(memo)) << name;
    }
    EXPECT_EQ(actual.size(), expected.size());

    const std::string text = joinedLines(report.lines);
    for (const char* line :
         {"apple-3.0.vcf, card 1 (Appleseed, Johnny Q.): not imported: name prefix \"Mr.\", "
          "X-SOCIALPROFILE, PHOTO\n",
          "phone-2.1.vcf, card 1 (Łukasiewicz, Jan): letters this address book cannot hold "
          "replaced: Ł → L, ł → l, "
          "ę → e; not imported: PHOTO\n",
          "rfc6350.vcf, card 1 (Perreault, Simon): not imported: name suffix \"ing. jr,M.Sc.\", "
          "GENDER, LANG, GEO, "
          "KEY, TZ\n",
          "web-3.0.vcf, card 2 (Broken Card, line 17): damaged, line 20 is not a property; "
          "skipped\n",
          "web-3.0.vcf, card 3 (Ωmega-Łódź, Zoë): letters this address book cannot hold replaced: "
          "Ω → ?, Ł → L, "
          "ź → z\n",
          "web-address-book.csv: columns not imported: Group Membership\n",
          "mail-program.csv, row 2 (Lefèvre, François): not imported: name prefix \"Dr.\"\n",
          "mail-client.csv, row 3: damaged, a quoted value that starts on line 3 never ends; "
          "skipped\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
    EXPECT_EQ(report.lines.size(), 11u) << text;
}

// What one card becomes: the reader's handling of the ways files are written.
TEST_F(ContactsTest, CardsAsFilesWriteThem) {
    struct Case {
        const char* what;
        std::string card;
        const char* name;
        const char* memo;
    };
    const std::vector<Case> cases = {
        {"CR line ends, a fold with a tab",
         "BEGIN:VCARD\rVERSION:3.0\rFN:Ann\r\tLee\rNOTE:x\rEND:VCARD\r", "AnnLee", "x"},
        {"quoted-printable in ISO-8859-1 with a soft break",
         "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Ren=E9 "
         "=\nDupont\nEND:VCARD\n",
         "René Dupont", ""},
        {"2.1 keeps backslashes",
         "BEGIN:VCARD\nVERSION:2.1\nFN:Old\nNOTE:C:\\new\\file.txt\nEND:VCARD\n", "Old",
         "C:\\new\\file.txt"},
        {"3.0 resolves them",
         "BEGIN:VCARD\nVERSION:3.0\nFN:New\nNOTE:C:\\\\new\\\\file.txt\\, done\nEND:VCARD\n", "New",
         "C:\\new\\file.txt, done"},
        {"a 2.1 agent's card is passed over",
         "BEGIN:VCARD\nVERSION:2.1\nN:Boss;Big\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Helper\nEND:"
         "VCARD\n"
         "TEL;WORK:555-0100\nEND:VCARD\n",
         "Boss, Big", "Work: 555-0100"},
        {"quoted parameter values and a tel: URI",
         "BEGIN:VCARD\nVERSION:4.0\nFN:Q\nTEL;TYPE=\"home,voice\";VALUE=uri:tel:+1-555-0100\nEND:"
         "VCARD\n",
         "Q", "Home: +1-555-0100"},
        {"only an organisation", "BEGIN:VCARD\nVERSION:3.0\nORG:Acme\\; Sons;Sales\nEND:VCARD\n",
         "Acme; Sons, Sales", "Acme; Sons, Sales"},
        {"only an e-mail address", "BEGIN:VCARD\nVERSION:3.0\nEMAIL:x@example.org\nEND:VCARD\n",
         "x@example.org", "Email: x@example.org"},
        {"a formatted name in our own form wins",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Smith,Anna\nN:Smith;Anna;;;\nEND:VCARD\n", "Smith,Anna", ""},
        {"a family name alone",
         "BEGIN:VCARD\nVERSION:3.0\nFN:The Smiths\nN:Smiths;;;;\nEND:VCARD\n", "Smiths", ""},
    };
    for (const Case& c : cases) {
        const store::ImportReport report = importText(c.card);
        const auto actual = entries();
        ASSERT_TRUE(actual.count(c.name)) << c.what << "\n" << report.text();
        EXPECT_EQ(actual.at(c.name), crlf(c.memo)) << c.what;
    }
}

TEST_F(ContactsTest, NotesThatAlreadyHoldAnItemAreNotRepeated) {
    importText(
        "BEGIN:VCARD\nVERSION:3.0\nFN:Ann\nTEL:206-555-1234\nTEL:555-9999\nEMAIL:ANN@Example.org\n"
        "URL:http://www.ann.example\nNOTE:Home (206)555-1234\\nMail: "
        "ann@example.org\\nwww.ann.example\nEND:VCARD\n");
    EXPECT_EQ(entries().at("Ann"),
              crlf("Phone: 555-9999\nHome (206)555-1234\nMail: ann@example.org\nwww.ann.example"));
    // A card whose note is a whole memo: its other lines are not written a second time,
    // an address only when the note holds all of it.
    importText(
        "BEGIN:VCARD\nVERSION:3.0\nFN:Bo\nORG:Acme\nTITLE:Boss\nBDAY:19850412\n"
        "ADR:;;1 Oak St;Springfield;IL;62704;\nADR:;;2 Elm Rd;Salem;MA;01970;\n"
        "NOTE:Acme\\nBirthday: 1985-04-12\\n1 Oak St\\nSpringfield, IL 62704\\n2 Elm "
        "Rd\nEND:VCARD\n");
    EXPECT_EQ(entries().at("Bo"), crlf("Boss\n2 Elm Rd\nSalem, MA 01970\nAcme\nBirthday: "
                                       "1985-04-12\n1 Oak St\nSpringfield, IL 62704\n2 Elm Rd"));
}

TEST_F(ContactsTest, DamagedCardsAreSkippedAndTheOthersImported) {
    const store::ImportReport report = importText(
        "BEGIN:VCARD\nFN:No End\nBEGIN:VCARD\nFN:Good\nEND:VCARD\nstray text\nBEGIN:VCARD\nFN:Cut "
        "Off\n");
    EXPECT_EQ(report.summary(),
              "3 read, 1 added, 0 already there, 0 renamed, 0 changed, 2 skipped");
    EXPECT_EQ(
        joinedLines(report.lines),
        "cards.vcf: 1 lines outside any card passed over\n"
        "cards.vcf, card 1 (No End, line 1): damaged, it has no END:VCARD before line 3; skipped\n"
        "cards.vcf, card 3 (Cut Off, line 7): damaged, the file ends before its END:VCARD; "
        "skipped\n");
    EXPECT_EQ(entries().count("Good"), 1u);
}

TEST_F(ContactsTest, NamesStayUniqueAndAnImportTwiceAddsNothing) {
    add("Smith", "a");
    add("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234", "x");
    const std::string cards =
        "BEGIN:VCARD\nFN:Smith\nNOTE:a\nEND:VCARD\nBEGIN:VCARD\nFN:Smith\nNOTE:b\nEND:VCARD\n"
        "BEGIN:VCARD\nFN:SMITH\nNOTE:c\nEND:VCARD\nBEGIN:VCARD\nFN:"
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234\nNOTE:y\nEND:VCARD\n"
        "BEGIN:VCARD\nFN:A name far longer than the thirty characters\nEND:VCARD\n"
        "BEGIN:VCARD\nFN:Line\\nbreak\nEND:VCARD\nBEGIN:VCARD\nNOTE:nobody\nEND:VCARD\n";
    store::ImportReport report = importText(cards);
    EXPECT_EQ(report.summary(),
              "7 read, 5 added, 1 already there, 3 renamed, 2 changed, 1 skipped");
    const auto actual = entries();
    EXPECT_EQ(actual.at("Smith (2)"), "b");
    EXPECT_EQ(actual.at("SMITH (3)"), "c");
    EXPECT_EQ(actual.at("ABCDEFGHIJKLMNOPQRSTUVWXYZ (2)"), "y");
    EXPECT_EQ(actual.count("A name far longer than the thi"), 1u);
    EXPECT_EQ(actual.count("Line break"), 1u);
    const std::string text = joinedLines(report.lines);
    for (const char* line :
         {"card 2 (Smith): added as \"Smith (2)\", as another entry has this name\n",
          "(A name far longer than the thirty characters): name cut to 30 characters\n",
          "(Line break): line breaks and control characters in the name became blanks\n",
          "card 7 (no name): no name to file it under; skipped\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;

    report = importText(cards);
    EXPECT_EQ(report.summary(),
              "7 read, 0 added, 6 already there, 0 renamed, 0 changed, 1 skipped");
}

TEST_F(ContactsTest, LettersTakeTheirNearestEquivalentInTheCodePage) {
    struct Case {
        int codePage;
        const char* text;
        const char* stored;  // UTF-8 of what the table holds
        const char* replaced;
    };
    for (const Case& c : std::vector<Case>{
             {1252, "é ß Œ “q” €", "é ß Œ “q” €", ""},
             {1252, "e\xCC\x81", "é", ""},  // decomposed: composed first
             {1252, "ł ő ﬁ", "l o fi", "ł → l, ő → o, ﬁ → fi"},
             {1252, "Ω 中 😀", "? ? ?", "Ω → ?, 中 → ?, 😀 → ?"},
             {1250, "ł ő", "ł ő", ""},
             {437, "“é”", "\"é\"", "“ → \", ” → \""},
         }) {
        store::TableText text(c.codePage);
        const store::TableText::Encoded encoded = text.encode(QString::fromUtf8(c.text));
        EXPECT_EQ(text.decode(encoded.bytes).toStdString(), c.stored) << c.text;
        EXPECT_EQ(encoded.replaced.join(QStringLiteral(", ")).toStdString(), c.replaced) << c.text;
    }
}

TEST_F(ContactsTest, TablesWithoutContactsAndFilesThatCannotBeReadFailTheImport) {
    mkfifo((dir / "pipe.vcf").c_str(), 0600);
    for (const char* name : {"missing.vcf", "pipe.vcf", "."}) {
        const store::ImportReport report = store::importContacts(*book, {dir / name});
        EXPECT_TRUE(report.failed()) << name;
        ASSERT_EQ(report.lines.size(), 1u);
        EXPECT_NE(report.lines[0].find(": cannot be read ("), std::string::npos) << report.lines[0];
    }
    const store::ImportReport report = importText("Product;Price\nTea;3\n", "prices.csv");
    EXPECT_TRUE(report.failed());
    EXPECT_EQ(joinedLines(report.lines),
              "prices.csv: neither a vCard file nor a table of contacts with a header row\n");
    EXPECT_TRUE(entries().empty());
}

TEST_F(ContactsTest, ImportIntoAFolderWithoutAnAddressBookMakesOne) {
    const std::filesystem::path elsewhere = dir / "new" / "book";
    const store::ImportReport report = store::importContacts(elsewhere, {sample("rfc2426.vcf")});
    EXPECT_EQ(report.added, 2);
    EXPECT_EQ(store::AddressBook(elsewhere).entries().size(), 2u);
}

}  // namespace
