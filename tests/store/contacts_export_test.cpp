// Contacts out of an address book: round trips through every format, what independent
// readers make of the files, which entries go out, and how the file is written.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>
#include <sstream>

#include <links/memo_scanner.h>

#include "contacts_fixture.h"
#include "entry_card.h"
#include "run_program.h"
#include "test_files.h"

namespace {

using contactstest::ContactsTest;
using contactstest::crlf;
using contactstest::sample;

namespace fs = std::filesystem;

using testsupport::readBytes;

class ExportTest : public ContactsTest {
  protected:
    void useGeneratedBook(uint32_t count) {
        book.reset();
        fs::remove_all(folder());
        fs::create_directory(folder());
        store::GenerateOptions options;
        options.count = count;
        store::generateAddressBook(folder(), options);
        book = std::make_unique<store::AddressBook>(folder());
    }

    // Entries whose memos hold everything a card escapes, folds or could lose.
    void addAwkwardEntries() {
        add("O'Brien, Liam",
            "Home (206)555-1234, work 206-555-9876\r\nMail:(liam@example.ie)\r\nsee "
            "www.obrien.example/x.html, "
            "then\r\n\tIndented; semi, comma \\ back\\nslash\r\n");
        add("Smith,Anna", "");
        add("Zoë;Café",
            "Cell 555-0000\r\n" + std::string(60, 'x') + "é" + std::string(100, 'e') + "ü");
        add("Back\\slash", "Fax: 555-0000\r\n\r\n  ");
    }
};

struct Format {
    const char* file;
    bool vcard4;
};
constexpr Format kFormats[] = {{"book.vcf", false}, {"book4.vcf", true}, {"book.csv", false}};

TEST_F(ExportTest, AnExportedBookComesBackAsTheSameEntries) {
    useGeneratedBook(300);
    addAwkwardEntries();
    const auto original = entries();

    for (const Format& format : kFormats) {
        store::ExportOptions exportOptions;
        exportOptions.vcard4 = format.vcard4;
        const store::ExportReport exported =
            store::exportContacts(*book, dir / format.file, exportOptions);
        ASSERT_FALSE(exported.failed()) << exported.text();
        EXPECT_EQ(exported.written, 304);

        const fs::path other = dir / (std::string("from-") + format.file);
        store::ImportReport report = store::importContacts(other, {dir / format.file});
        EXPECT_EQ(report.summary(),
                  "304 read, 304 added, 0 already there, 0 renamed, 0 changed, 0 skipped")
            << format.file << "\n"
            << report.text();
        store::AddressBook copy(other);
        store::TableText text(1252);
        std::map<std::string, std::string> copied;
        for (const store::Entry& e : copy.entries())
            copied[text.decode(e.name).toStdString()] = text.decode(e.memo).toStdString();
        EXPECT_EQ(copied, original) << format.file;

        report = store::importContacts(copy, {dir / format.file});
        EXPECT_EQ(report.alreadyThere, 304) << format.file;
    }

    // Lines of at most 75 octets, CR LF, never a character cut in two.
    const std::string vcf = readBytes(dir / "book.vcf");
    size_t start = 0;
    while (start < vcf.size()) {
        const size_t end = vcf.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 75u);
        const QByteArray line = QByteArray::fromStdString(vcf.substr(start, end - start));
        EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line);
        EXPECT_EQ(line.indexOf('\n'), -1);
        start = end + 2;
    }
}

// The phone numbers, e-mail and web addresses the memo scanner finds, as a card gives them.
struct MemoItems {
    std::vector<std::string> phones, emails, webs;
};

MemoItems itemsOf(const std::string& memo) {
    MemoItems items;
    std::istringstream lines(memo);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> phones;
        links::findPhoneNumbers(line, phones);
        items.phones.insert(items.phones.end(), phones.rbegin(), phones.rend());
        if (const std::string email = links::findEmailAddress(line); !email.empty())
            items.emails.push_back(email);
        if (std::string web = links::findWebAddress(line); !web.empty())
            items.webs.push_back(web.rfind("www.", 0) == 0 ? "http://" + web : web);
    }
    return items;
}

std::vector<std::string> strings(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& each : list.toArray()) out.push_back(each.toString().toStdString());
    return out;
}

QJsonArray readWithPython(const std::string& kind, const fs::path& file) {
    const auto run = testsupport::runProgram({"/usr/bin/python3",
                                              CARDHOLD_SOURCE_DIR "/tests/store/read_contacts.py",
                                              kind, file.string()});
    if (!run || run->exitCode != 0) {
        ADD_FAILURE() << "python3-vobject could not read " << file << ": "
                      << (run ? run->output : "no python3");
        return {};
    }
    return QJsonDocument::fromJson(QByteArray::fromStdString(run->output)).array();
}

TEST_F(ExportTest, IndependentReadersFindTheMemosItemsInTheExports) {
    useGeneratedBook(100);
    const std::vector<store::Entry> all = book->entries();

    for (const Format& format : kFormats) {
        store::ExportOptions exportOptions;
        exportOptions.vcard4 = format.vcard4;
        ASSERT_FALSE(store::exportContacts(*book, dir / format.file, exportOptions).failed());
        const bool csv = fs::path(format.file).extension() == ".csv";
        const QJsonArray cards = readWithPython(csv ? "csv" : "vcf", dir / format.file);
        ASSERT_EQ(size_t(cards.size()), all.size()) << format.file;
        for (size_t i = 0; i < all.size(); ++i) {
            const QJsonObject card = cards[qsizetype(i)].toObject();
            const MemoItems items = itemsOf(all[i].memo);
            EXPECT_EQ(card["name"].toString().toStdString(), all[i].name);
            EXPECT_EQ(strings(card["phones"]), items.phones) << all[i].name;
            EXPECT_EQ(strings(card["emails"]), items.emails) << all[i].name;
            EXPECT_EQ(strings(card["webs"]), items.webs) << all[i].name;
            std::string memo = card["note"].toString().toStdString();
            if (!csv) memo = contactstest::crlf(memo);
            EXPECT_EQ(memo, all[i].memo);
            if (!csv) {
                const size_t comma = all[i].name.find(',');
                EXPECT_EQ(card["family"].toString().toStdString(), all[i].name.substr(0, comma));
            }
        }
    }
}

TEST_F(ExportTest, ACardThatVobjectWroteComesIn) {
    const auto run = testsupport::runProgram({"/usr/bin/python3",
                                              CARDHOLD_SOURCE_DIR "/tests/store/read_contacts.py",
                                              "write", (dir / "v.vcf").string()});
    ASSERT_TRUE(run && run->exitCode == 0) << (run ? run->output : "no python3");
    const store::ImportReport report = store::importContacts(*book, {dir / "v.vcf"});
    EXPECT_EQ(report.added, 1) << report.text();
    EXPECT_EQ(
        entries().at("Nowak-Zak, Lucja"),
        contactstest::crlf(
            "ul. Dluga 5\nGdansk, 80-831\nPolska\nCell: +48 22 555 01 02\nEmail: lucja@example.pl\n"
            "Spotkanie; sroda, 10:00\nA long note " +
            [] {
                std::string s;
                for (int i = 0; i < 8; ++i) s += "that goes on ";
                return s;
            }()));
}

std::vector<std::string> propertyValues(const std::string& vcf, const std::string& name) {
    std::vector<std::string> out;
    std::istringstream lines(vcf);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(name + ":", 0) == 0)
            out.push_back(line.substr(name.size() + 1, line.size() - name.size() - 2));
    return out;
}

TEST_F(ExportTest, ExportsTheNamedEntriesWithUidsThatFollowTheName) {
    for (const char* name : {"Adams", "Baker", "Carter", "Twin", "Twin two"})
        add(name, std::string(name) + " memo");
    book->rename("Twin two", "Twin");

    store::ExportOptions options;
    options.names = std::vector<std::string>{"Carter", "Nobody", "Adams", "Twin", "adams"};
    store::ExportReport report = store::exportContacts(*book, dir / "some.vcf", options);
    EXPECT_EQ(report.written, 4);
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{"No entry named \"Nobody\"", "No entry named \"adams\""}));
    const std::string some = readBytes(dir / "some.vcf");
    EXPECT_EQ(propertyValues(some, "FN"),
              (std::vector<std::string>{"Carter", "Adams", "Twin", "Twin"}));

    ASSERT_FALSE(store::exportContacts(*book, dir / "all.vcf").failed());
    const std::vector<std::string> uids = propertyValues(readBytes(dir / "all.vcf"), "UID");
    EXPECT_EQ(std::set<std::string>(uids.begin(), uids.end()).size(),
              5u);  // also for two entries named alike
    const std::vector<std::string> someUids = propertyValues(some, "UID");
    EXPECT_EQ(someUids[0], uids[2]);  // Carter's, in any export
    EXPECT_EQ(someUids[1], uids[0]);
    EXPECT_EQ(someUids[0].rfind("urn:uuid:", 0), 0u);
}

// Sync writes an entry into a card a phone made: only the properties the entry maps to
// change; the photo, the address and the unknown properties stay byte for byte.
TEST_F(ExportTest, AnEntryWrittenIntoSomeoneElsesCardLeavesTheRestAsItWas) {
    const std::string photo =
        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/"
        "2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDA\r\n"
        " oMDAsKCwsNDhIQDQ4RDgsLEBYQERMUFRUVDA8XGBYUGBIUFRT/2w==\r\n";
    const std::string phoneCard =
        crlf(
            "BEGIN:VCARD\nVERSION:3.0\nUID:phone-1\nN:Old;Name;;;\nFN:Old Name\n"
            "item1.TEL:555-0000\nitem1.X-ABLabel:_$!<Mobile>!$_\nitem2.ADR:;;1 Oak St;Town;;;\n"
            "item2.X-ABLabel:Cabin\nX-PHONE-THING:kept;as\\, is\n") +
        photo + "NOTE:old note\r\nEND:VCARD\r\n";
    store::TableText text(book->table().codePage());
    const store::Entry entry{"Baker, Ann", "Cell: 555-1234\r\nann@example.org", {2024, 3, 5}, {}};
    const std::string updated = store::cardUpdatedFromEntry(phoneCard, text, entry);

    for (const std::string kept : {"UID:phone-1\r\n", "item2.ADR:;;1 Oak St;Town;;;\r\n",
                                   "item2.X-ABLabel:Cabin\r\n", "X-PHONE-THING:kept;as\\, is\r\n"})
        EXPECT_NE(updated.find(kept), std::string::npos) << kept << "\n" << updated;
    EXPECT_NE(updated.find(photo), std::string::npos) << updated;
    for (const std::string gone : {"Old", "555-0000", "Mobile", "old note"})
        EXPECT_EQ(updated.find(gone), std::string::npos) << gone << "\n" << updated;
    EXPECT_NE(updated.find("FN:Baker\\, Ann\r\nN:Baker;Ann;;;\r\nTEL;TYPE=CELL:555-1234\r\n"
                           "EMAIL;TYPE=INTERNET:ann@example.org\r\n"),
              std::string::npos)
        << updated;

    // What comes back from the card is the entry as it was written into it.
    ASSERT_EQ(importText(updated).added, 1);
    EXPECT_EQ(entries().at("Baker, Ann"), "1 Oak St\r\nTown\r\nCell: 555-1234\r\nann@example.org");
    EXPECT_EQ(store::cardUpdatedFromEntry("BEGIN:VCARD\r\nFN:cut short\r\n", text, entry), "");
}

TEST_F(ExportTest, TheExportFileIsReplacedWholeAndNeverWrittenThroughALink) {
    add("Adams", "Phone 555-0100");
    testsupport::writeBytes(dir / "secret.txt", "secret");
    fs::create_symlink(dir / "secret.txt", dir / "linked.vcf");
    ASSERT_FALSE(store::exportContacts(*book, dir / "linked.vcf").failed());
    EXPECT_EQ(readBytes(dir / "secret.txt"), "secret");
    EXPECT_FALSE(fs::is_symlink(dir / "linked.vcf"));
    EXPECT_EQ(readBytes(dir / "linked.vcf").rfind("BEGIN:VCARD\r\n", 0), 0u);

    EXPECT_EQ(store::exportContacts(*book, dir / "a.txt").summary(),
              "Nothing exported: the file name must end in .vcf or .csv");
    EXPECT_TRUE(store::exportContacts(*book, dir / "no" / "such" / "folder.csv").failed());
    store::ExportOptions nobody;
    nobody.names = std::vector<std::string>{"Nobody"};
    EXPECT_EQ(store::exportContacts(*book, dir / "none.csv", nobody).summary(),
              "Nothing exported: there are no entries to export");
    EXPECT_FALSE(fs::exists(dir / "none.csv"));
    for (const auto& each : fs::directory_iterator(dir.path()))
        EXPECT_EQ(each.path().filename().string().find(".export-"), std::string::npos)
            << each.path();
}

}  // namespace
