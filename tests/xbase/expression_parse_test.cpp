// Parsing: precedence, keywords, quotes, function names, and the messages for
// expressions that cannot be compiled.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "expression_test_record.h"
#include "xbase/error.h"

namespace {

using expressiontest::MemoryRecord;
using xbase::Error;
using xbase::Expression;

MemoryRecord sampleRecord() {
    MemoryRecord record({{"NAME", 'C', 30},
                         {"INFO", 'M', 10},
                         {"LASTDATE", 'D', 8},
                         {"AGE", 'N', 3},
                         {"NOTE", 'C', 10},
                         {"ORDERNO", 'N', 5},
                         {"ANDES", 'L', 1}});
    record.set("NAME", "Smith, Anna").set("NOTE", "vip").set("AGE", "42").set("ORDERNO", "7");
    record.set("ANDES", "T").setMemo("INFO", "Call 555-1234 after 5");
    return record;
}

struct Case {
    const char* expression;
    bool expected;
};

void expectAll(const std::vector<Case>& cases) {
    const MemoryRecord record = sampleRecord();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        try {
            EXPECT_EQ(Expression::compile(c.expression, record).isTrue(record), c.expected);
        } catch (const Error& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

TEST(ExpressionParse, OperatorsBindByPrecedence) {
    expectAll({
        {"1 + 2 * 3 = 7", true},
        {"(1 + 2) * 3 = 9", true},
        {"10 - 4 - 3 = 3", true},  // left to right
        {"12 / 4 / 3 = 1", true},
        {"-2 * 3 = -6", true},
        {"- -2 = 2", true},
        {"2 - -2 = 4", true},
        {"+3 = 3", true},
        {".T. OR .F. AND .F.", true},  // AND before OR
        {"(.T. OR .F.) AND .F.", false},
        {"NOT .T. OR .T.", true},  // NOT before OR
        {"NOT (.T. OR .T.)", false},
        {"NOT 1 = 2", true},  // comparison before NOT
        {"NOT NOT .T.", true},
        {"\"a\" + \"b\" $ \"xaby\"", true},  // + before $
        {"1 < 2 = .T.", true},               // comparisons chain left to right
        {"Age * 2 + 1 = 85", true},
        {"3.5 * 2 = 7", true},
        {".5 + .5 = 1", true},
    });
}

TEST(ExpressionParse, KeywordsInEveryFormAndCase) {
    expectAll({
        {".T. AND .T.", true},
        {".T. and .F.", false},
        {".t. .AND. .T.", true},
        {".T. .and. .f.", false},
        {".F. OR .T.", true},
        {".F. or .F.", false},
        {".F. .OR. .T.", true},
        {".f. .Or. .F.", false},
        {"NOT .F.", true},
        {"not .T.", false},
        {".NOT. .F.", true},
        {".not..T.", false},
        {"!.F.", true},
        {"! .T.", false},
        {"1=1.AND.2=2", true},  // "1." is not a number when .AND. follows
        {"1=2.OR.2=2", true},
        {"Name=\"Smith, Anna\"AND Age=42", true},
    });
}

TEST(ExpressionParse, KeywordsOnlyAsWholeWords) {
    // NOTE, ORDERNO and ANDES begin with a keyword but are field names.
    expectAll({
        {"NOTE = \"vip\"", true},
        {"ORDERNO = 7", true},
        {"ANDES", true},
        {"NOT ANDES", false},
        {"ANDES AND NOTE = \"vip\"", true},
        {"ANDES OR ORDERNO = 8", true},
    });
}

TEST(ExpressionParse, TextInAnyKindOfQuotes) {
    expectAll({
        {"Name = \"Smith, Anna\"", true},
        {"Name = 'Smith, Anna'", true},
        {"Name = [Smith, Anna]", true},
        {"'say \"hi\"' = [say \"hi\"]", true},  // a double quote inside single quotes
        {"\"it's\" = [it's]", true},
        {"\"[x]\" = '[x]'", true},
        {"'' = \"\"", true},
        {"[] $ Name", true},
        {"\"555\" $ Info", true},
        {"'a' + \"b\" + [c] = 'abc'", true},
    });
}

TEST(ExpressionParse, FieldAndFunctionNamesIgnoreCase) {
    expectAll({
        {"NAME = name", true},
        {"nAmE = \"Smith, Anna\"", true},
        {"UPPER(name) = \"SMITH, ANNA\"", true},
        {"Upper(Name) = upper(NAME)", true},
        {"uppe(Name) = \"SMITH, ANNA\"", true},  // four letters are enough
        {"SUBS(Name, 1, 5) = \"Smith\"", true},
        {"allt(\"  x  \") = \"x\"", true},
        {"NOT DELE()", true},
        {"RECN() = 1", true},
    });
}

TEST(ExpressionParse, ResultTypes) {
    const MemoryRecord record = sampleRecord();
    const std::vector<std::pair<const char*, xbase::ValueType>> cases = {
        {"Name", xbase::ValueType::Character},
        {"upper(Name)", xbase::ValueType::Character},
        {"Age + 1", xbase::ValueType::Numeric},
        {"recno()", xbase::ValueType::Numeric},
        {"LastDate", xbase::ValueType::Date},
        {"LastDate + 1", xbase::ValueType::Date},
        {"LastDate - LastDate", xbase::ValueType::Numeric},
        {"deleted()", xbase::ValueType::Logical},
        {"Name = \"x\"", xbase::ValueType::Logical},
    };
    for (const auto& [text, type] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Expression::compile(text, record).resultType(), type);
    }
}

TEST(ExpressionParse, QuoteWritesAnyTextAsAConstant) {
    EXPECT_EQ(Expression::quote("Smith"), "\"Smith\"");
    EXPECT_EQ(Expression::quote(""), "\"\"");
    EXPECT_EQ(Expression::quote("O\"Brien"), "'O\"Brien'");
    EXPECT_EQ(Expression::quote("it's \"x\""), "[it's \"x\"]");
    EXPECT_EQ(Expression::quote("a\"b'c]d"), "[a\"b'c]+\"]d\"");

    // Whatever the name, Name = quote(name) finds exactly that name.
    MemoryRecord record = sampleRecord();
    std::mt19937 random(5);
    const std::string pieces = "\"'[]a ";
    for (int round = 0; round < 2000; ++round) {
        std::string name;
        const size_t length = random() % 12;
        for (size_t i = 0; i < length; ++i) name += pieces[random() % pieces.size()];
        SCOPED_TRACE(name);
        const std::string constant = Expression::quote(name);
        ASSERT_EQ(Expression::compile(constant, record).evaluate(record).text, name);
        record.set("NAME", name);
        ASSERT_TRUE(Expression::compile("Name=" + constant, record).isTrue(record));
        ASSERT_FALSE(Expression::compile("Name=" + constant + "+\"x\"", record).isTrue(record));
    }
}

struct BadCase {
    const char* expression;
    int code;
    const char* message;  // the whole message
};

TEST(ExpressionParse, MalformedExpressionsSayWhatIsWrong) {
    const int syntax = xbase::code::ExpressionSyntax;
    const int type = xbase::code::ExpressionType;
    const std::vector<BadCase> cases = {
        {"upper(Nmae)", syntax, "Invalid expression \"upper(Nmae)\": no field named Nmae"},
        {"\"SMI\"$upper(Name))", syntax,
         "Invalid expression \"\"SMI\"$upper(Name))\": unexpected text after the end at "
         "position 18"},
        // A search text with a double quote in it ends the text early.
        {"\"O\"BRIEN\"$upper(Name)", syntax,
         "Invalid expression \"\"O\"BRIEN\"$upper(Name)\": unexpected text after the end at "
         "position 4"},
        {"", syntax, "Invalid expression \"\": the expression is empty"},
        {"   ", syntax, "Invalid expression \"   \": the expression is empty"},
        {"Name = 'Smith", syntax,
         "Invalid expression \"Name = 'Smith\": the text that starts at position 8 has no "
         "closing '"},
        {"Name = [Smith", syntax,
         "Invalid expression \"Name = [Smith\": the text that starts at position 8 has no "
         "closing ]"},
        {"upper(Name", syntax,
         "Invalid expression \"upper(Name\": a closing \")\" is missing at the end"},
        {"(1 + 2", syntax, "Invalid expression \"(1 + 2\": a closing \")\" is missing at the end"},
        {"upper(Name Name)", syntax,
         "Invalid expression \"upper(Name Name)\": a closing \")\" is missing at position 12"},
        {"soundex(Name)", syntax,
         "Invalid expression \"soundex(Name)\": no function named soundex"},
        {"up(Name)", syntax, "Invalid expression \"up(Name)\": no function named up"},
        {"upper()", syntax, "Invalid expression \"upper()\": upper() takes 1 argument, not 0"},
        {"substr(Name)", syntax,
         "Invalid expression \"substr(Name)\": substr() takes 2 or 3 arguments, not 1"},
        {"str(1, 2, 3, 4)", syntax,
         "Invalid expression \"str(1, 2, 3, 4)\": str() takes 1 to 3 arguments, not 4"},
        {"deleted(1)", syntax,
         "Invalid expression \"deleted(1)\": deleted() takes no arguments, not 1"},
        {"1 +", syntax,
         "Invalid expression \"1 +\": the expression ends where a value is expected"},
        {"1 + )", syntax,
         "Invalid expression \"1 + )\": a value is expected at position 5, not \")\""},
        {"Name = ,", syntax,
         "Invalid expression \"Name = ,\": a value is expected at position 8, not \",\""},
        {"Name @ 1", syntax, "Invalid expression \"Name @ 1\": unexpected \"@\" at position 6"},
        {"Name = \x01", syntax,
         "Invalid expression \"Name =  \": unexpected character 0x01 at position 8"},
        {".X.", syntax, "Invalid expression \".X.\": unknown word .X. at position 1"},
        {"Name .AND", syntax, "Invalid expression \"Name .AND\": unexpected \".\" at position 6"},
        {"Name = 1", type,
         "Invalid expression \"Name = 1\": cannot compare a text with a number at position 6"},
        {"LastDate < \"20240101\"", type,
         "Invalid expression \"LastDate < \"20240101\"\": cannot compare a date with a text at "
         "position 10"},
        {"1 $ Name", type,
         "Invalid expression \"1 $ Name\": \"$\" at position 3 needs a text on both sides, not a "
         "number and a text"},
        {"upper(1)", type, "Invalid expression \"upper(1)\": upper() needs a text, not a number"},
        {"substr(Name, 'a')", type,
         "Invalid expression \"substr(Name, 'a')\": the 2nd argument of substr() must be a "
         "number, not a text"},
        {"dtos(Name)", type, "Invalid expression \"dtos(Name)\": dtos() needs a date, not a text"},
        {"iif(.T., 1, 'a')", type,
         "Invalid expression \"iif(.T., 1, 'a')\": the 3rd argument of iif() must be a number, "
         "not a text"},
        {"Name AND .T.", type,
         "Invalid expression \"Name AND .T.\": \"AND\" at position 6 needs a logical value, not "
         "a text"},
        {".T. .or. 1", type,
         "Invalid expression \".T. .or. 1\": \".or.\" at position 5 needs a logical value, not a "
         "number"},
        {"NOT Name", type,
         "Invalid expression \"NOT Name\": \"NOT\" at position 1 needs a logical value, not a "
         "text"},
        {"Name * 2", type,
         "Invalid expression \"Name * 2\": \"*\" at position 6 needs numbers, not a text"},
        {"-Name", type,
         "Invalid expression \"-Name\": \"-\" at position 1 needs a number, not a text"},
        {"Name + 1", type,
         "Invalid expression \"Name + 1\": cannot add a text and a number at position 6"},
        {"1 - LastDate", type,
         "Invalid expression \"1 - LastDate\": cannot subtract a date from a number at "
         "position 3"},
    };
    const MemoryRecord record = sampleRecord();
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.expression);
        try {
            Expression::compile(c.expression, record);
            ADD_FAILURE() << "compiled";
        } catch (const Error& error) {
            EXPECT_EQ(error.kind(), xbase::ErrorKind::Expression);
            EXPECT_EQ(error.number(), c.code);
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

TEST(ExpressionParse, AFilterMustBeLogical) {
    const MemoryRecord record = sampleRecord();
    const Expression expression = Expression::compile("upper(Name)", record);
    try {
        expression.isTrue(record);
        ADD_FAILURE() << "a text was taken as a filter";
    } catch (const Error& error) {
        EXPECT_EQ(error.number(), xbase::code::ExpressionType);
        EXPECT_EQ(std::string(error.what()),
                  "Invalid expression \"upper(Name)\": a filter must be true or false, but this "
                  "gives a text");
    }
}

TEST(ExpressionParse, LongExpressionsAreCutInMessages) {
    const MemoryRecord record = sampleRecord();
    const std::string text = "Name = \"" + std::string(500, 'x');  // no closing quote
    try {
        Expression::compile(text, record);
        ADD_FAILURE() << "compiled";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_LT(message.size(), 300u);
        EXPECT_NE(message.find("...\": the text that starts at position 8"), std::string::npos)
            << message;
    }
}

TEST(ExpressionParse, DeepNestingIsRefusedNotOverflowingTheStack) {
    const MemoryRecord record = sampleRecord();
    const std::vector<std::string> hostile = {
        std::string(100000, '(') + "1" + std::string(100000, ')'),
        std::string(100000, '-') + "1",
        [] {
            std::string s;
            for (int i = 0; i < 50000; ++i) s += "NOT ";
            return s + ".T.";
        }(),
        [] {
            std::string s = "upper(";
            for (int i = 0; i < 50000; ++i) s += "trim(";
            return s + "Name" + std::string(50001, ')');
        }(),
        [] {
            std::string s = "Age";
            for (int i = 0; i < 50000; ++i) s += "+Age";  // a long left-leaning chain
            return s;
        }(),
    };
    for (const std::string& text : hostile) {
        try {
            Expression::compile(text, record);
            ADD_FAILURE() << "compiled: " << text.substr(0, 40);
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find("nested too deeply"), std::string::npos)
                << error.what();
        }
    }
}

TEST(ExpressionParse, LongAndOrChainsStayUsable) {
    // A report of many selected names joins one term per name with OR.
    MemoryRecord record = sampleRecord();
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        if (i > 0) text += " OR ";
        text += "Name=\"Person " + std::to_string(i) + "\"";
    }
    const Expression expression = Expression::compile(text, record);
    EXPECT_FALSE(expression.isTrue(record));
    record.set("NAME", "Person 2999");
    EXPECT_TRUE(expression.isTrue(record));
}

// Whatever bytes arrive, compiling either succeeds or throws the expression error, and a
// compiled expression evaluates without crashing.
void checkSurvives(const std::string& text, const MemoryRecord& record) {
    try {
        const Expression expression = Expression::compile(text, record);
        std::string key;
        expression.evaluateKey(record, key);
        ASSERT_EQ(key.size(), static_cast<size_t>(expression.keyLength())) << text;
        expression.evaluate(record);
        if (expression.resultType() == xbase::ValueType::Logical) expression.isTrue(record);
    } catch (const Error& error) {
        ASSERT_EQ(error.kind(), xbase::ErrorKind::Expression) << text;
        ASSERT_EQ(std::string(error.what()).rfind("Invalid expression \"", 0), 0u) << text;
    }
}

TEST(ExpressionParse, RandomBytesNeverCrash) {
    const MemoryRecord record = sampleRecord();
    std::mt19937 random(20240611);
    // Mostly the language's own characters, so that many inputs get deep into the parser.
    const std::string alphabet = "()()\"\"''[],+-*/=<>#!$.. TFtf0123456789NameAgeInfoNOTANDOR";
    const std::vector<std::string> words = {
        "Name",    "Info", "LastDate", "Age",    "upper(", "substr(", "str(",
        "dtos(",   "val(", "left(",    "right(", "trim(",  "iif(",    "empty(",
        "recno()", ".T.",  ".AND.",    " OR ",   " NOT ",  "\"SMI\"", "'x'",
        "[y]",     "1e5",  "-",        "$",      "==",     ",",       "deleted()"};
    for (int round = 0; round < 30000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) {
            const unsigned pick = random() % 10;
            if (pick < 4) {
                text += words[random() % words.size()];
            } else if (pick < 9) {
                text += alphabet[random() % alphabet.size()];
            } else {
                text += static_cast<char>(random() % 256);
            }
        }
        checkSurvives(text, record);
        if (HasFatalFailure()) return;
    }
}

TEST(ExpressionParse, DamagedValidExpressionsNeverCrash) {
    const MemoryRecord record = sampleRecord();
    const std::vector<std::string> seeds = {
        "\"SMI\"$upper(Name)",
        "upper(Name) >= \"A\" AND upper(Name) <= \"M\"",
        "Name=\"A\" OR Name=\"B\"",
        "upper(Name)+dtos(LastDate)+str(Age,5,1)",
        "iif(empty(Info), substr(Name, 2, 3), left(Name, 4)) - right(Name, 2)",
    };
    std::mt19937 random(7);
    for (const std::string& seed : seeds) {
        for (int round = 0; round < 3000; ++round) {
            std::string text = seed;
            const int edits = 1 + static_cast<int>(random() % 3);
            for (int e = 0; e < edits && !text.empty(); ++e) {
                const size_t at = random() % text.size();
                switch (random() % 3) {
                    case 0:
                        text.erase(at, 1);
                        break;
                    case 1:
                        text.insert(at, 1, seed[random() % seed.size()]);
                        break;
                    default:
                        text[at] = static_cast<char>(random() % 256);
                }
            }
            checkSurvives(text, record);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
