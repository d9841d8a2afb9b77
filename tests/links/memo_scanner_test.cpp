#include <links/memo_scanner.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using links::collectItems;
using links::ItemKind;
using Items = std::vector<std::string>;

struct PhoneCase {
    std::string text;
    Items expected;
};

Items PhonesOf(std::string_view text) {
    Items items;
    links::findPhoneNumbers(text, items);
    return items;
}

TEST(MemoScannerPhoneNumbers, FoundRightToLeftWithTheirAreaCodes) {
    const PhoneCase cases[] = {
        {"Tel 555-1234", {"555-1234"}},
        {"555-1234", {"555-1234"}},
        {"Home (206)555-1234, work 206-555-9876", {"206-555-9876", "206-555-1234"}},
        {"1-800-555-1234", {"800-555-1234"}},
        {"1-555-1234 ext", {"1-555-1234"}},
        {")555-1234", {"-555-1234"}},
        {"ab)555-1234", {"ab-555-1234"}},
        {"(206) 555-1234", {"555-1234"}},
        {"555-12345", {"555-1234"}},
        {"555-1234 555-5678", {"555-5678", "555-1234"}},
        {"555-1234-5678", {"234-5678", "555-1234"}},
        {"x(a)b)555-1234", {"a)b-555-1234"}},
        {"555 1234", {}},
        {"555.1234", {}},
        {"5551234", {}},
        {"55-1234", {}},
        {"555-123", {}},
        {"\xB2\xB3\xB9-1234", {}},
        {"", {}},
    };
    for (const PhoneCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(PhonesOf(c.text), c.expected);
    }
}

TEST(MemoScannerPhoneNumbers, AppendsToTheItemsAlreadyThere) {
    Items items{"first"};
    links::findPhoneNumbers("555-0000", items);
    EXPECT_EQ(items, (Items{"first", "555-0000"}));
}

TEST(MemoScannerPhoneNumbers, PatternAndCutHoldToTheTextAtAnyPosition) {
    const std::string_view text = "206-555-1234";
    EXPECT_TRUE(links::isPhonePattern(text, 7));
    EXPECT_TRUE(links::isPhonePattern("555-1234", 3));
    EXPECT_FALSE(links::isPhonePattern(text, 3));  // "555-" is not four digits
    EXPECT_FALSE(links::isPhonePattern(text.substr(0, 11), 7));
    EXPECT_EQ(links::cutPhoneNumber(text, 7), "206-555-1234");
    EXPECT_EQ(links::cutPhoneNumber(text, 3), "");
    for (std::size_t position : {std::size_t{0}, std::size_t{2}, std::size_t{11}, std::size_t{12},
                                 std::size_t{13}, std::string_view::npos}) {
        SCOPED_TRACE(position);
        EXPECT_FALSE(links::isPhonePattern(text, position));
        EXPECT_EQ(links::cutPhoneNumber(text, position), "");
    }
}

struct LineCase {
    std::string line;
    std::string expected;
};

void ExpectEachLineGives(std::span<const LineCase> cases,
                         std::string (*findItem)(std::string_view)) {
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(findItem(c.line), c.expected);
    }
}

TEST(MemoScannerEmailAddresses, TakenAroundTheFirstAtSign) {
    const LineCase cases[] = {
        {"Mail:a@b.c.", "a@b.c"},
        {"see a@b.c, or x@y.z", "a@b.c,"},
        {"jo@home now. Bye", "jo@home"},
        {"jo@home", ""},
        {"to @b.c", "@b.c"},
        {"@b.c and more", "@b.c"},
        {"(jo@x.org)", "(jo@x.org)"},
        {"x)jo@x.org", "jo@x.org"},
        {"tel;jo@x.org", "jo@x.org"},
        {"a,b@c.d", "a,b@c.d"},
        {"\"Jo\" <jo@x.org>", "<jo@x.org>"},
        {"\tjo@x.org", "\tjo@x.org"},
        {"a@b and c@d.e", "a@b"},
        {"jo@x.org...", "jo@x.org"},
        {"a@" + std::string(98, 'x') + ".", "a@" + std::string(98, 'x')},
        {"a@" + std::string(99, 'x') + ".", ""},
        {"no at-sign. here", ""},
        {"trailing@", ""},
        {"", ""},
    };
    ExpectEachLineGives(cases, links::findEmailAddress);
}

TEST(MemoScannerEmailAddresses, NeverLongerThan255Characters) {
    const std::string line = "Mail: a@b." + std::string(400, 'x');
    EXPECT_EQ(links::findEmailAddress(line), line.substr(6, 255));
}

TEST(MemoScannerWebAddresses, FirstPrefixInOrderOfPreferenceDecides) {
    const LineCase cases[] = {
        {"Site: www.b.c/x.html, more", "www.b.c/x.html"},
        {"see (http://b.c/).", "http://b.c/"},
        {"Www.B.C", "Www.B.C"},
        {"www.b.c and ftp://d.e", "ftp://d.e"},
        {"http://a.b then ftp://c.d", "ftp://c.d"},
        {"https://a.b/c then http://d.e", "http://d.e"},
        {"HTTPS://A.B;", "HTTPS://A.B"},
        {"xwww.a.b", "www.a.b"},
        {"www.a.b/x),.:;", "www.a.b/x"},
        {"WWW.", "WWW"},
        {"http:/a.b wwwx.c", ""},
        {"", ""},
    };
    ExpectEachLineGives(cases, links::findWebAddress);
}

TEST(MemoScannerWebAddresses, CutFromAGivenStart) {
    EXPECT_EQ(links::cutWebAddress("go www.x.y. now", 3), "www.x.y");
    EXPECT_EQ(links::cutWebAddress("www." + std::string(300, 'a'), 0).size(), 255u);
    EXPECT_EQ(links::cutWebAddress("www.x.y", 7), "");
    EXPECT_EQ(links::cutWebAddress("www.x.y", std::string_view::npos), "");
}

TEST(MemoScannerFileNames, DriveLetteredNames) {
    const LineCase cases[] = {
        {"Letter: C:\\Docs\\My letter.doc (sent)", "C:\\Docs\\My letter.doc"},
        {"see d:\\music\\song.mp3, later", "d:\\music\\song.mp3"},
        {"   C:\\a.txt", "C:\\a.txt"},
        {"Dir. C:\\Temp folder", "C:\\Temp folder"},
        {"C:\\Music\\Live (1999)\\x.mp3 is good", "C:\\Music\\Live (1999)\\x.mp3"},
        {"C:\\a.txt)", "C:\\a.txt"},
        {"C:\\a.txt  \t\r", "C:\\a.txt"},
        {std::string("C:\\a.txt\0\0", 10), "C:\\a.txt"},
        {"C:\\x.caf\xE9", "C:\\x.caf\xE9"},
        {"C:\\.hidden file", "C:\\.hidden file"},
        {"x:\\a.b c:\\d.e", "x:\\a.b"},
        {"C:\\Temp", ""},
        {"1:\\a.txt", ""},
        {":\\a.txt", ""},
        {"1:\\a.txt C:\\b.txt", ""},
        {"\\\\server\\share\\a.txt", ""},
        {"", ""},
    };
    ExpectEachLineGives(cases, links::findFileName);
}

TEST(MemoScannerFileNames, AbsolutePathsAtTheStartOfAWord) {
    const LineCase cases[] = {
        {"/home/a/b.mp3", "/home/a/b.mp3"},
        {"~/Music/x.ogg", "~/Music/x.ogg"},
        {"Song: /home/a/My song.mp3 (live)", "/home/a/My song.mp3"},
        {"see ~/Music/x.ogg, later", "~/Music/x.ogg"},
        {"\t/tmp/a.txt", "/tmp/a.txt"},
        {"~/.bashrc", "~/.bashrc"},
        {"yes / no, /tmp/a.txt", "/tmp/a.txt"},
        {"1:\\a.txt /home/b.txt", "/home/b.txt"},
        {"C:\\a.txt /home/b.txt", "C:\\a.txt"},
        {"/home/b.txt C:\\a.txt", "C:\\a.txt"},
        {"and/or a.b", ""},
        {"see http://b.c/x.html", ""},
        {"a~/x.txt", ""},
        {"/home/a/b", ""},
        {"yes / no.", ""},
        {"/.", ""},
    };
    ExpectEachLineGives(cases, links::findFileName);
}

TEST(MemoScannerFileNames, CutFromAGivenStart) {
    EXPECT_EQ(links::cutFileName("C:\\" + std::string(300, 'a') + ".txt", 0).size(), 255u);
    EXPECT_EQ(links::cutFileName("x C:\\a.b c", 2), "C:\\a.b");
    EXPECT_EQ(links::cutFileName("C:\\a.b   ", 7), "");  // inside the trailing blanks
    EXPECT_EQ(links::cutFileName("C:\\a.b", std::string_view::npos), "");
}

TEST(MemoScannerCollection, PhoneNumbersFromTheNameThenTheShownLinesDownwards) {
    const std::vector<std::string> shown{"555-1111", "555-2222 555-3333"};
    const std::vector<std::string> stored{"555-1111 555-2222 555-3333"};
    const auto collected = collectItems(ItemKind::Phone, "Shop 555-0000", shown, stored);
    EXPECT_EQ(collected.items, (Items{"555-0000", "555-1111", "555-3333", "555-2222"}));
    EXPECT_FALSE(collected.showContext);
    EXPECT_TRUE(collected.linesBefore.empty());
    EXPECT_TRUE(collected.itemLines.empty());
}

TEST(MemoScannerCollection, EmailFromTheNameThenTheShownLinesUpwards) {
    const std::vector<std::string> shown{"one@a.b", "two@a.b", "three@a.b x@y.z"};
    const std::vector<std::string> stored{"one@a.b two@a.b three@a.b x@y.z"};
    const auto collected = collectItems(ItemKind::Email, "Jo jo@a.b", shown, stored);
    EXPECT_EQ(collected.items, (Items{"jo@a.b", "three@a.b", "two@a.b", "one@a.b"}));
    EXPECT_FALSE(collected.showContext);
}

TEST(MemoScannerCollection, WebAddressesFromTheStoredLinesWithTheirContext) {
    // The stored first line is wrapped on screen; its second address must not be offered.
    const std::vector<std::string> shown{"www.a.b", "www.c.d", "plain", "ftp://e.f"};
    const std::vector<std::string> stored{"www.a.b www.c.d", "plain", "ftp://e.f", "www.a.b"};
    const auto collected = collectItems(ItemKind::Web, "www.name.org", shown, stored);
    EXPECT_EQ(collected.items, (Items{"www.a.b", "ftp://e.f", "www.a.b"}));
    EXPECT_EQ(collected.linesBefore, (Items{" ", "plain", "ftp://e.f"}));
    EXPECT_EQ(collected.itemLines, (Items{"www.a.b www.c.d", "ftp://e.f", "www.a.b"}));
    EXPECT_TRUE(collected.showContext);
}

TEST(MemoScannerCollection, FileNamesWithTheirContext) {
    const std::vector<std::string> stored{"Songs", "", "/home/a/b.mp3", "C:\\x.doc"};
    const auto collected = collectItems(ItemKind::File, "C:\\name.txt", {}, stored);
    EXPECT_EQ(collected.items, (Items{"/home/a/b.mp3", "C:\\x.doc"}));
    EXPECT_EQ(collected.linesBefore, (Items{"", "/home/a/b.mp3"}));
    EXPECT_EQ(collected.itemLines, (Items{"/home/a/b.mp3", "C:\\x.doc"}));
}

TEST(MemoScannerCollection, NothingFoundLeavesOneBlankContextEntry) {
    const std::vector<std::string> stored{"no links", "here"};
    for (ItemKind kind : {ItemKind::Web, ItemKind::File}) {
        const auto collected = collectItems(kind, "", stored, stored);
        EXPECT_TRUE(collected.items.empty());
        EXPECT_EQ(collected.linesBefore, (Items{" "}));
        EXPECT_EQ(collected.itemLines, (Items{" "}));
        EXPECT_TRUE(collected.showContext);
    }
    EXPECT_TRUE(collectItems(ItemKind::Email, "", {}, {}).items.empty());
    EXPECT_TRUE(collectItems(ItemKind::Phone, "", {}, {}).items.empty());
}

// --- Random input -----------------------------------------------------------------------

// Everything the scanner says about one text, so that two runs can be compared.
struct ScanResult {
    Items phones;
    std::string email, web, file;
    std::vector<bool> patterns;
    Items cuts;
    bool operator==(const ScanResult&) const = default;
};

ScanResult ScanEverything(std::string_view text, const std::vector<std::size_t>& positions) {
    ScanResult result;
    links::findPhoneNumbers(text, result.phones);
    result.email = links::findEmailAddress(text);
    result.web = links::findWebAddress(text);
    result.file = links::findFileName(text);
    for (std::size_t position : positions) {
        result.patterns.push_back(links::isPhonePattern(text, position));
        result.cuts.push_back(links::cutPhoneNumber(text, position));
        result.cuts.push_back(links::cutWebAddress(text, position));
        result.cuts.push_back(links::cutFileName(text, position));
    }
    return result;
}

// A copy in a heap block of exactly the text's size: a read past either end is an
// overflow that the address sanitizer reports.
class ExactCopy {
  public:
    explicit ExactCopy(std::string_view text)
        : bytes_(std::make_unique<char[]>(text.size())), size_(text.size()) {
        std::copy(text.begin(), text.end(), bytes_.get());
    }
    std::string_view view() const { return {bytes_.get(), size_}; }

  private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

std::string RandomLine(std::mt19937& random) {
    static const std::string_view kAlphabets[] = {
        "-0123456789()", " ):;,.\t", "@@@.a ", "C:\\/~. x", "wWhHtTpPsSfF:/. ",
    };
    static const std::string_view kTokens[] = {
        "555-1234", ")", "@", ".", " ", "C:\\", "/", "~/", "www.", "http://", "ftp://", "a"};
    auto draw = [&random](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    // One line in fifty is very long. The content is random bytes, a run of tokens, or
    // draws from a small alphabet of the characters the rules look at.
    const std::size_t length = draw(0, 49) == 0 ? draw(50'000, 200'000) : draw(0, 400);
    std::string line;
    line.reserve(length + 8);
    switch (draw(0, 2)) {
        case 0:
            while (line.size() < length) line.push_back(static_cast<char>(draw(0, 255)));
            break;
        case 1:
            while (line.size() < length) line += kTokens[draw(0, std::size(kTokens) - 1)];
            break;
        default: {
            const std::string_view alphabet = kAlphabets[draw(0, std::size(kAlphabets) - 1)];
            while (line.size() < length) line.push_back(alphabet[draw(0, alphabet.size() - 1)]);
        }
    }
    return line;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view upperPrefix) {
    if (text.size() < upperPrefix.size()) return false;
    for (std::size_t i = 0; i < upperPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upperPrefix[i]) return false;
    }
    return true;
}

void ExpectWellFormed(std::string_view line, const ScanResult& result) {
    // Numbers come right to left, so each one stands before the one found before it.
    std::size_t searchFrom = std::string_view::npos;
    for (const std::string& phone : result.phones) {
        ASSERT_GE(phone.size(), 8u);
        ASSERT_LE(phone.size(), 12u);
        ASSERT_TRUE(links::isPhonePattern(phone, phone.size() - 5)) << phone;
        searchFrom = line.rfind(std::string_view(phone).substr(phone.size() - 8), searchFrom);
        ASSERT_NE(searchFrom, std::string_view::npos) << phone;
    }
    for (const std::string* item : {&result.email, &result.web, &result.file}) {
        EXPECT_LE(item->size(), 255u);
        EXPECT_NE(line.find(*item), std::string_view::npos);
    }
    if (!result.email.empty()) {
        EXPECT_EQ(result.email.find(' '), std::string::npos);
        EXPECT_NE(result.email.back(), '.');
    }
    if (!result.web.empty()) {
        EXPECT_EQ(result.web.find(' '), std::string::npos);
        EXPECT_TRUE(StartsWithIgnoringCase(result.web, "FTP://") ||
                    StartsWithIgnoringCase(result.web, "HTTP://") ||
                    StartsWithIgnoringCase(result.web, "HTTPS://") ||
                    StartsWithIgnoringCase(result.web, "WWW"))
            << result.web;
    }
    if (!result.file.empty()) {
        const std::string& file = result.file;
        const bool drive = file.size() >= 3 && file.compare(1, 2, ":\\") == 0;
        EXPECT_TRUE(drive || file.starts_with('/') || file.starts_with("~/")) << file;
        EXPECT_EQ(std::string_view(",.:;)").find(file.back()), std::string_view::npos);
    }
}

TEST(MemoScannerRandomInput, NeverReadsOutsideTheTextAndGivesWellFormedItems) {
    const unsigned seed = 20240611;
    std::mt19937 random(seed);
    // Bytes that would change some result if a scan strayed past either end of the text.
    const std::string before = "a@b.c C:\\p.q www.r 206)555-";
    const std::string after = "1234-5678 @x.y www.z /t.u C:\\v.w)";
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", round " << round);
        const std::string line = RandomLine(random);
        // Every position near either end, one in the middle, and some past the end.
        std::vector<std::size_t> positions{line.size() / 2, line.size() + 1,
                                           std::string_view::npos};
        for (std::size_t offset = 0; offset <= 8; ++offset) {
            positions.push_back(offset);
            if (offset <= line.size()) positions.push_back(line.size() - offset);
        }

        const ExactCopy exact(line);
        const ScanResult alone = ScanEverything(exact.view(), positions);
        const std::string padded = before + line + after;
        const ScanResult embedded =
            ScanEverything(std::string_view(padded).substr(before.size(), line.size()), positions);
        ASSERT_EQ(alone, embedded);
        ExpectWellFormed(line, alone);

        const std::vector<std::string> lines{line, RandomLine(random), line};
        for (ItemKind kind : {ItemKind::Web, ItemKind::File}) {
            const auto collected = collectItems(kind, line, lines, lines);
            ASSERT_EQ(collected.linesBefore.size(),
                      std::max<std::size_t>(1, collected.items.size()));
            ASSERT_EQ(collected.itemLines.size(), collected.linesBefore.size());
        }
        for (const std::string& phone : collectItems(ItemKind::Phone, line, lines, lines).items) {
            ASSERT_TRUE(links::isPhonePattern(phone, phone.size() - 5)) << phone;
        }
        ASSERT_LE(collectItems(ItemKind::Email, line, lines, lines).items.size(), lines.size() + 1);
    }
}

}  // namespace
