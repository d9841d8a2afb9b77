// Evaluation: the padding rule, $ and upper, the filters the program builds, the
// functions and operators, and how each field type reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "expression_test_record.h"
#include "xbase/error.h"

namespace {

using expressiontest::MemoryRecord;
using xbase::Expression;

MemoryRecord fullRecord() {
    return MemoryRecord({{"NAME", 'C', 30},
                         {"INFO", 'M', 10},
                         {"LASTDATE", 'D', 8},
                         {"AGE", 'N', 3},
                         {"PRICE", 'N', 8, 2},
                         {"RATE", 'F', 10, 3},
                         {"ACTIVE", 'L', 1},
                         {"COUNT", 'I', 4},
                         {"WEIGHT", 'B', 8},
                         {"COST", 'Y', 8},
                         {"STAMP", 'T', 8},
                         {"PICTURE", 'P', 10}});
}

bool holds(const char* text, const MemoryRecord& record) {
    return Expression::compile(text, record).isTrue(record);
}

std::string textOf(const char* text, const MemoryRecord& record) {
    return Expression::compile(text, record).evaluate(record).text;
}

double numberOf(const char* text, const MemoryRecord& record) {
    return Expression::compile(text, record).evaluate(record).number;
}

struct TextCase {
    const char* expression;
    const char* expected;
};

void expectTexts(const std::vector<TextCase>& cases) {
    const MemoryRecord record = fullRecord();
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(textOf(c.expression, record), c.expected);
    }
}

TEST(ExpressionEval, TextsComparePaddedWithBlanks) {
    MemoryRecord record = MemoryRecord::address();
    record.set("NAME", "Smith");
    struct Case {
        const char* expression;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"Name = \"Smith\"", true},  // the field holds Smith and 25 blanks
        {"Name == \"Smith\"", true},
        {"\"Smith\" = Name", true},
        {"Name = \"Smith   \"", true},
        {"Name = \"Smithson\"", false},
        {"Name = \"Smi\"", false},  // no prefix match
        {"Name = \"smith\"", false},
        {"Name <> \"Smith\"", false},
        {"Name # \"Smithson\"", true},
        {"Name != \"Smi\"", true},
        {"Name < \"Smithson\"", true},
        {"Name > \"Smi\"", true},
        {"Name >= \"Smith\" AND Name <= \"Smith\"", true},
        {"Name = \"\"", false},
        {"\"\" = \"   \"", true},
        {"\"A\" < \"B\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_EQ(holds(c.expression, record), c.expected);
    }
    // Bytes compare unsigned: 0xE9 (e acute in Windows-1252) sorts after z, and a
    // control byte sorts before the blank that pads the shorter text.
    EXPECT_TRUE(holds("\"\xE9\" > \"z\"", record));
    EXPECT_TRUE(holds("\"A\x01\" < \"A\"", record));
    EXPECT_TRUE(holds("\"A\" > \"A\x01\"", record));
    record.set("NAME", "");
    EXPECT_TRUE(holds("Name = \"\"", record));
    EXPECT_TRUE(holds("empty(Name)", record));
}

TEST(ExpressionEval, ContainsIsAPlainSubstringTest) {
    MemoryRecord record = MemoryRecord::address();
    record.set("NAME", "Smith, Anna").setMemo("INFO", "Tel 555-1234\r\nmail anna@example.org");
    EXPECT_TRUE(holds("\"SMI\"$upper(Name)", record));
    EXPECT_FALSE(holds("\"smi\"$upper(Name)", record));
    EXPECT_FALSE(holds("\"SMI\"$Name", record));
    EXPECT_TRUE(holds("\"Smith, Anna\"$Name", record));
    EXPECT_TRUE(holds("\", A\"$Name", record));
    EXPECT_TRUE(holds("\"\"$Name", record));
    EXPECT_TRUE(holds("\"\"$\"\"", record));
    EXPECT_FALSE(holds("\"x\"$\"\"", record));
    EXPECT_TRUE(holds("\"555\"$Info", record));
    EXPECT_TRUE(holds("\"ANNA@\"$upper(Info)", record));
    EXPECT_FALSE(holds("\"556\"$Info", record));
    // Trailing blanks of the field are part of the text.
    EXPECT_TRUE(holds("\"Anna  \"$Name", record));
    EXPECT_FALSE(holds("\"Anna  \"$trim(Name)", record));
}

TEST(ExpressionEval, CaseChangesOnlyAsciiLetters) {
    MemoryRecord record = MemoryRecord::address();
    record.set("NAME", "M\xFCller-\xE9tienne 12_z@");
    EXPECT_EQ(textOf("trim(upper(Name))", record), "M\xFCLLER-\xE9TIENNE 12_Z@");
    EXPECT_EQ(textOf("trim(lower(Name))", record), "m\xFCller-\xE9tienne 12_z@");
    // So an accented letter matches only itself, in the same case.
    EXPECT_TRUE(holds("\"\xFCLLER\"$upper(Name)", record));
    EXPECT_FALSE(holds("\"\xDCLLER\"$upper(Name)", record));
}

// The filters that the search and the report selection hand to the engine, run over a
// small table the way a filtered scan would.
class ProgramFilters : public ::testing::Test {
  protected:
    std::vector<std::string> matching(const std::string& filter) {
        MemoryRecord record = MemoryRecord::address();
        const Expression expression = Expression::compile(filter, record);
        std::vector<std::string> found;
        for (const char* name : names_) {
            record.set("NAME", name);
            if (expression.isTrue(record)) found.emplace_back(name);
        }
        return found;
    }

    std::vector<const char*> names_ = {"Smith, Anna",
                                       "SMITH, ANNA",
                                       "smith, john",
                                       "Smithson, Kim",
                                       "Adams, Zoe",
                                       "Baker, Al",
                                       "Miller, Max",
                                       "M",
                                       "O'Brien, Pat",
                                       "Young, Al",
                                       "",
                                       "a",
                                       "Zimmermann, Wolfgang-Amadeus X"};
    using Names = std::vector<std::string>;
};

TEST_F(ProgramFilters, NameSearch) {
    EXPECT_EQ(matching("\"SMI\"$upper(Name)"),
              (Names{"Smith, Anna", "SMITH, ANNA", "smith, john", "Smithson, Kim"}));
    EXPECT_EQ(matching("\"AL\"$upper(Name)"), (Names{"Baker, Al", "Young, Al"}));
    EXPECT_EQ(matching("\"O'B\"$upper(Name)"), (Names{"O'Brien, Pat"}));
    EXPECT_EQ(matching("\"X\"$upper(Name)"),
              (Names{"Miller, Max", "Zimmermann, Wolfgang-Amadeus X"}));
}

TEST_F(ProgramFilters, CurrentEntry) {
    EXPECT_EQ(matching("upper(Name)=\"SMITH, ANNA\""), (Names{"Smith, Anna", "SMITH, ANNA"}));
    EXPECT_EQ(matching("upper(Name)=\"\""), (Names{""}));
}

TEST_F(ProgramFilters, RangeIncludesBothEnds) {
    EXPECT_EQ(matching("upper(Name) >= \"A\" AND upper(Name) <= \"M\""),
              (Names{"Adams, Zoe", "Baker, Al", "M", "a"}));
    EXPECT_EQ(matching("upper(Name) >= \"BAKER, AL\" AND upper(Name) <= \"O'BRIEN, PAT\""),
              (Names{"Baker, Al", "Miller, Max", "M", "O'Brien, Pat"}));
    EXPECT_EQ(matching("upper(Name) >= \"SMITH, ANNA\" AND upper(Name) <= \"SMITH, ANNA\""),
              (Names{"Smith, Anna", "SMITH, ANNA"}));
}

TEST_F(ProgramFilters, SelectedNamesMatchExactly) {
    EXPECT_EQ(matching("Name=\"Smith, Anna\""), (Names{"Smith, Anna"}));
    EXPECT_EQ(matching("Name=\"Adams, Zoe\" OR Name=\"Baker, Al\""),
              (Names{"Adams, Zoe", "Baker, Al"}));
    EXPECT_EQ(matching("Name=\"Zimmermann, Wolfgang-Amadeus X\" OR Name=\"\" OR Name=\"M\""),
              (Names{"M", "", "Zimmermann, Wolfgang-Amadeus X"}));
}

TEST(ExpressionEval, TextFunctions) {
    expectTexts({
        {"substr(\"abcdef\", 2, 3)", "bcd"},
        {"substr(\"abcdef\", 4)", "def"},
        {"substr(\"abc\", 0)", "abc"},
        {"substr(\"abc\", -5, 2)", "ab"},
        {"substr(\"abc\", 4)", ""},
        {"substr(\"abc\", 2, 0)", ""},
        {"substr(\"abc\", 2, -1)", ""},
        {"substr(\"abc\", 2, 1e300)", "bc"},
        {"left(\"abc\", 2)", "ab"},
        {"left(\"abc\", 10)", "abc"},
        {"left(\"abc\", -1)", ""},
        {"right(\"abc\", 2)", "bc"},
        {"right(\"abc\", 10)", "abc"},
        {"right(\"abc\", 0)", ""},
        {"trim(\"  ab  \")", "  ab"},
        {"rtrim(\"  ab  \")", "  ab"},
        {"ltrim(\"  ab  \")", "ab  "},
        {"alltrim(\"  ab  \")", "ab"},
        {"alltrim(\"    \")", ""},
        {"\"ab  \" + \"cd \"", "ab  cd "},
        {"\"ab  \" - \"cd \"", "abcd   "},  // trailing blanks move to the end
        {"\"   \" - \"x\"", "x   "},
        {"\"ab\" - \"\"", "ab"},
        {"iif(.T., \"yes\", \"no\")", "yes"},
        {"iif(1 > 2, \"yes\", \"no\")", "no"},
    });
}

TEST(ExpressionEval, NumbersToText) {
    expectTexts({
        {"str(42)", "        42"},
        {"str(12.5)", "        13"},  // halves round away from zero
        {"str(-12.5)", "       -13"},
        {"str(3.14159, 8, 2)", "    3.14"},
        {"str(-3.14159, 8, 3)", "  -3.142"},
        {"str(2.5, 3, 1)", "2.5"},
        {"str(123.456, 5, 2)", "123.5"},  // decimals give way before the whole part
        {"str(123.456, 4, 2)", " 123"},
        {"str(123456, 3)", "***"},
        {"str(-10, 2)", "**"},
        {"str(7, 0)", ""},
        {"str(-0.4)", "         0"},  // no sign on a value that rounds to zero
        {"str(1/3, 12, 10)", "0.3333333333"},
        {"str(1e300, 5)", "*****"},
    });
    // Widths are capped.
    EXPECT_EQ(textOf("str(1, 1000)", fullRecord()).size(), 255u);
}

TEST(ExpressionEval, NumbersAndArithmetic) {
    MemoryRecord record = fullRecord();
    record.setRecordNumber(17);
    struct Case {
        const char* expression;
        double expected;
    };
    const std::vector<Case> cases = {
        {"val(\"  12.50\")", 12.5},
        {"val(\"12abc\")", 12},
        {"val(\"-3\")", -3},
        {"val(\"+4.5\")", 4.5},
        {"val(\".5\")", 0.5},
        {"val(\"abc\")", 0},
        {"val(\"\")", 0},
        {"val(\"nan\")", 0},
        {"val(\"inf\")", 0},
        {"val(\"1e3\")", 1000},
        {"7 / 2", 3.5},
        {"7 / 0", 0},  // a zero divisor gives 0 instead of stopping a scan
        {"2 * -3", -6},
        {"recno()", 17},
        {"recno() + 1", 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_DOUBLE_EQ(numberOf(c.expression, record), c.expected);
    }
}

TEST(ExpressionEval, Dates) {
    MemoryRecord record = fullRecord();
    record.set("LASTDATE", "20231231");
    EXPECT_EQ(textOf("dtos(LastDate)", record), "20231231");
    EXPECT_EQ(textOf("dtos(LastDate + 1)", record), "20240101");
    EXPECT_EQ(textOf("dtos(1 + LastDate)", record), "20240101");
    EXPECT_EQ(textOf("dtos(LastDate - 365)", record), "20221231");
    EXPECT_EQ(textOf("dtos(LastDate + 60)", record), "20240229");
    EXPECT_DOUBLE_EQ(numberOf("LastDate - LastDate", record), 0);
    EXPECT_DOUBLE_EQ(numberOf("(LastDate + 10) - LastDate", record), 10);
    EXPECT_TRUE(holds("LastDate < LastDate + 1", record));
    EXPECT_FALSE(holds("empty(LastDate)", record));
    const xbase::Value value = Expression::compile("LastDate", record).evaluate(record);
    EXPECT_EQ(value.type, xbase::ValueType::Date);
    EXPECT_EQ(value.text, "20231231");

    for (const char* blank : {"        ", "00000000", "2023-1-1", "20231301", "20230100"}) {
        SCOPED_TRACE(blank);
        record.setRaw("LASTDATE", blank);
        EXPECT_TRUE(holds("empty(LastDate)", record));
        EXPECT_EQ(textOf("dtos(LastDate)", record), "        ");
        EXPECT_EQ(textOf("dtos(LastDate + 1)", record), "        ");  // stays empty
    }
    record.setRaw("LASTDATE", std::string(8, '\0'));
    EXPECT_TRUE(holds("empty(LastDate)", record));
    record.setRaw("LASTDATE", "2024");  // a record cut short
    EXPECT_TRUE(holds("empty(LastDate)", record));
    record.setRaw("LASTDATE", "99991231");
    EXPECT_EQ(textOf("dtos(LastDate + 1)", record), "        ");  // past year 9999
}

TEST(ExpressionEval, FieldTypesReadAsStored) {
    MemoryRecord record = fullRecord();
    record.set("AGE", "42").set("PRICE", "-12.50").set("RATE", "  0.125");
    EXPECT_DOUBLE_EQ(numberOf("Age", record), 42);
    EXPECT_DOUBLE_EQ(numberOf("Price", record), -12.5);
    EXPECT_DOUBLE_EQ(numberOf("Rate * 8", record), 1);
    record.set("AGE", "");
    EXPECT_DOUBLE_EQ(numberOf("Age", record), 0);
    EXPECT_TRUE(holds("empty(Age)", record));
    record.setRaw("AGE", "***");  // an overflowed number written by another program
    EXPECT_DOUBLE_EQ(numberOf("Age", record), 0);

    for (const char* yes : {"T", "t", "Y", "y"}) {
        record.set("ACTIVE", yes);
        EXPECT_TRUE(holds("Active", record)) << yes;
    }
    for (const char* no : {"F", "f", "N", "?", " "}) {
        record.set("ACTIVE", no);
        EXPECT_FALSE(holds("Active", record)) << no;
        EXPECT_TRUE(holds("empty(Active)", record)) << no;
    }
    record.setRaw("ACTIVE", "");
    EXPECT_FALSE(holds("Active", record));

    // Visual FoxPro's binary fields, little-endian.
    record.setRaw("COUNT", std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_DOUBLE_EQ(numberOf("Count", record), -2);
    const double weight = 2.75;
    std::string weightBytes(8, '\0');
    std::memcpy(weightBytes.data(), &weight, 8);
    record.setRaw("WEIGHT", weightBytes);
    EXPECT_DOUBLE_EQ(numberOf("Weight", record), 2.75);
    record.setRaw("COST", std::string("\x10\x27\0\0\0\0\0\0", 8));  // 10000 = 1.0000
    EXPECT_DOUBLE_EQ(numberOf("Cost", record), 1);
    record.setRaw("STAMP", std::string("\x59\x68\x25\0\0\0\0\0", 8));  // day 2451545
    EXPECT_EQ(textOf("dtos(Stamp)", record), "20000101");
    record.setRaw("COUNT", "\x01");  // cut short
    EXPECT_DOUBLE_EQ(numberOf("Count", record), 0);

    try {
        Expression::compile("Picture", record);
        ADD_FAILURE() << "an unreadable field type compiled";
    } catch (const xbase::Error& error) {
        EXPECT_EQ(error.number(), xbase::code::ExpressionType);
        EXPECT_NE(std::string(error.what()).find("the field Picture has a type (P)"),
                  std::string::npos)
            << error.what();
    }
}

TEST(ExpressionEval, MemoTextAndEmptiness) {
    MemoryRecord record = MemoryRecord::address();
    EXPECT_TRUE(holds("empty(Info)", record));
    record.setMemo("INFO", " \r\n\t ");
    EXPECT_TRUE(holds("empty(Info)", record));
    const std::string big(5000, 'a');
    record.setMemo("INFO", big + "needle");  // larger than the evaluation's inline scratch
    EXPECT_TRUE(holds("\"NEEDLE\"$upper(Info)", record));
    EXPECT_EQ(textOf("right(upper(Info) + lower(Info), 6)", record), "needle");
}

TEST(ExpressionEval, DeletedAndRecordNumber) {
    MemoryRecord record = MemoryRecord::address();
    record.setRecordNumber(3);
    EXPECT_TRUE(holds("NOT deleted()", record));
    EXPECT_TRUE(holds("recno() = 3", record));
    EXPECT_EQ(textOf("iif(deleted(), \"gone\", \"here\")", record), "here");
    record.setDeleted(true);
    EXPECT_TRUE(holds("deleted()", record));
    EXPECT_EQ(textOf("iif(deleted(), \"gone\", \"here\")", record), "gone");
}

TEST(ExpressionEval, AndOrStopOnceDecided) {
    // The right side would read a memo; a decided chain must not need it.
    struct CountingRecord : MemoryRecord {
        CountingRecord() : MemoryRecord(MemoryRecord::address()) {}
        std::string memoText(int field) const override {
            ++memoReads;
            return MemoryRecord::memoText(field);
        }
        mutable int memoReads = 0;
    };
    CountingRecord record;
    EXPECT_FALSE(holds(".F. AND \"x\"$Info", record));
    EXPECT_TRUE(holds(".T. OR \"x\"$Info", record));
    EXPECT_EQ(record.memoReads, 0);
    EXPECT_FALSE(holds(".T. AND \"x\"$Info", record));
    EXPECT_EQ(record.memoReads, 1);
}

TEST(ExpressionEval, OneCompiledExpressionServesManyRecords) {
    MemoryRecord schema = MemoryRecord::address();
    Expression expression = Expression::compile("upper(trim(Name)) + \"|\"", schema);
    MemoryRecord a = MemoryRecord::address();
    MemoryRecord b = MemoryRecord::address();
    a.set("NAME", "first");
    b.set("NAME", "second one");
    EXPECT_EQ(expression.evaluate(a).text, "FIRST|");
    EXPECT_EQ(expression.evaluate(b).text, "SECOND ONE|");
    EXPECT_EQ(expression.evaluate(a).text, "FIRST|");

    // Moving keeps the compiled tree.
    Expression moved = std::move(expression);
    EXPECT_EQ(moved.evaluate(b).text, "SECOND ONE|");
    EXPECT_EQ(moved.text(), "upper(trim(Name)) + \"|\"");
}

}  // namespace
