// Recursive descent over the tokens, one function per precedence level, loosest first:
//   OR, AND, NOT, comparisons and $, + and -, * and /, unary minus, values.
// Every operator checks its operands' types here, so evaluation never has to.

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "expression_parser.h"
#include "expression_values.h"

namespace xbase::expr {

namespace {

// Deeper nesting than any real filter or key needs; it keeps hostile input from
// exhausting the stack while parsing, evaluating or freeing the tree.
constexpr int kMaxDepth = 200;

std::string typeName(ValueType type) {
    switch (type) {
        case ValueType::Character:
            return "a text";
        case ValueType::Numeric:
            return "a number";
        case ValueType::Date:
            return "a date";
        case ValueType::Logical:
            return "a logical value";
    }
    return "a value";
}

std::string ordinal(size_t index) {
    static const char* const names[] = {"1st", "2nd", "3rd"};
    return index < 3 ? names[index] : std::to_string(index + 1) + "th";
}

enum class Function {
    Upper,
    Lower,
    Trim,
    RightTrim,
    LeftTrim,
    AllTrim,
    Substring,
    Left,
    Right,
    DateToText,
    NumberToText,
    TextToNumber,
    Deleted,
    RecordNumber,
    Empty,
    Choice,
};

struct FunctionSpec {
    std::string_view name;
    Function function;
    size_t minArguments;
    size_t maxArguments;
};

constexpr std::array<FunctionSpec, 16> kFunctions{{
    {"upper", Function::Upper, 1, 1},
    {"lower", Function::Lower, 1, 1},
    {"trim", Function::Trim, 1, 1},
    {"rtrim", Function::RightTrim, 1, 1},
    {"ltrim", Function::LeftTrim, 1, 1},
    {"alltrim", Function::AllTrim, 1, 1},
    {"substr", Function::Substring, 2, 3},
    {"left", Function::Left, 2, 2},
    {"right", Function::Right, 2, 2},
    {"dtos", Function::DateToText, 1, 1},
    {"str", Function::NumberToText, 1, 3},
    {"val", Function::TextToNumber, 1, 1},
    {"deleted", Function::Deleted, 0, 0},
    {"recno", Function::RecordNumber, 0, 0},
    {"empty", Function::Empty, 1, 1},
    {"iif", Function::Choice, 3, 3},
}};

bool startsWithIgnoringCase(std::string_view lowerName, std::string_view word) {
    if (word.size() > lowerName.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (lowerAscii(word[i]) != lowerName[i]) return false;
    }
    return true;
}

// Exact names, or (as FoxPro allows) the first four or more letters of exactly one name.
const FunctionSpec* findFunction(std::string_view word) {
    const FunctionSpec* abbreviated = nullptr;
    int matches = 0;
    for (const FunctionSpec& spec : kFunctions) {
        if (!startsWithIgnoringCase(spec.name, word)) continue;
        if (word.size() == spec.name.size()) return &spec;
        abbreviated = &spec;
        ++matches;
    }
    return (word.size() >= 4 && matches == 1) ? abbreviated : nullptr;
}

std::string argumentCountText(const FunctionSpec& spec) {
    if (spec.maxArguments == 0) return "no arguments";
    if (spec.minArguments == spec.maxArguments) {
        return std::to_string(spec.minArguments) +
               (spec.minArguments == 1 ? " argument" : " arguments");
    }
    const char* joiner = spec.maxArguments == spec.minArguments + 1 ? " or " : " to ";
    return std::to_string(spec.minArguments) + joiner + std::to_string(spec.maxArguments) +
           " arguments";
}

int clampWidth(int64_t count) {
    return static_cast<int>(std::clamp<int64_t>(count, 0, 1 << 30));
}

// At most `count` bytes of a text of `width`.
int atMost(int width, int64_t count) {
    const int limit = clampWidth(count);
    return width == kUnbounded ? limit : std::min(width, limit);
}

class Parser {
  public:
    Parser(std::string_view expression, const RecordSource& schema)
        : expression_(expression),
          schema_(schema),
          tokenizer_(expression),
          current_(tokenizer_.next()) {}

    NodePtr run() {
        if (current().kind == TokenKind::End) syntaxError("the expression is empty");
        NodePtr root = orLevel();
        if (current().kind != TokenKind::End) {
            syntaxError("unexpected text after the end" + at(current()));
        }
        return root;
    }

  private:
    // Counts the nesting of parentheses, calls and prefix operators while parsing.
    class Nesting {
      public:
        explicit Nesting(Parser& parser) : parser_(parser) {
            if (++parser_.nesting_ > kMaxDepth) parser_.tooDeep();
        }
        ~Nesting() { --parser_.nesting_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

      private:
        Parser& parser_;
    };

    using Operands = std::vector<NodePtr>;

    const Token& current() const { return current_; }
    // Moves on to the next token and hands back the one it leaves.
    Token advance() {
        Token left = current_;
        current_ = tokenizer_.next();
        return left;
    }

    std::string at(const Token& token) const { return atPosition(expression_, token.position); }
    static std::string written(const Token& token) { return "\"" + std::string(token.text) + "\""; }

    [[noreturn]] void syntaxError(const std::string& problem) const {
        throwSyntaxError(expression_, problem);
    }
    [[noreturn]] void typeError(const std::string& problem) const {
        throwTypeError(expression_, problem);
    }
    [[noreturn]] void tooDeep() const {
        syntaxError("it is nested too deeply (more than " + std::to_string(kMaxDepth) + " levels)");
    }

    static bool allConstant(const Operands& operands) {
        return !operands.empty() &&
               std::all_of(operands.begin(), operands.end(),
                           [](const NodePtr& node) { return node->isConstant(); });
    }

    // Every new node passes here: constant parts are worked out once, now.
    NodePtr finish(NodePtr node, bool constantOperands) const {
        if (node->depth() > kMaxDepth) tooDeep();
        return constantOperands ? foldConstant(*node, schema_) : std::move(node);
    }

    std::optional<double> constantNumber(const Node& node) const {
        if (!node.isConstant() || node.type() != ValueType::Numeric) return std::nullopt;
        Context context(schema_);
        return node.number(context);
    }

    void requireLogical(const Node& operand, const Token& op) const {
        if (operand.type() != ValueType::Logical) {
            typeError(written(op) + at(op) + " needs a logical value, not " +
                      typeName(operand.type()));
        }
    }

    // ---- logical operators ----------------------------------------------------------

    NodePtr orLevel() { return chain(TokenKind::Or, false, &Parser::andLevel); }
    NodePtr andLevel() { return chain(TokenKind::And, true, &Parser::notLevel); }

    // a AND b AND c becomes one node over three operands, so long chains (a report of
    // many selected names) stay shallow.
    NodePtr chain(TokenKind kind, bool isAnd, NodePtr (Parser::*operand)()) {
        NodePtr first = (this->*operand)();
        if (current().kind != kind) return first;
        requireLogical(*first, current());
        Operands operands;
        operands.push_back(std::move(first));
        while (current().kind == kind) {
            const Token op = advance();
            NodePtr next = (this->*operand)();
            requireLogical(*next, op);
            operands.push_back(std::move(next));
        }
        const bool constant = allConstant(operands);
        return finish(makeLogicalChain(isAnd, std::move(operands)), constant);
    }

    NodePtr notLevel() {
        if (current().kind != TokenKind::Not) return comparison();
        const Nesting nesting(*this);
        const Token op = advance();
        NodePtr operand = notLevel();
        requireLogical(*operand, op);
        const bool constant = operand->isConstant();
        return finish(makeNot(std::move(operand)), constant);
    }

    // ---- comparisons ----------------------------------------------------------------

    static std::optional<Comparison> comparisonOf(TokenKind kind) {
        switch (kind) {
            case TokenKind::Equal:
            case TokenKind::ExactEqual:
                return Comparison::Equal;
            case TokenKind::NotEqual:
                return Comparison::NotEqual;
            case TokenKind::Less:
                return Comparison::Less;
            case TokenKind::LessOrEqual:
                return Comparison::LessOrEqual;
            case TokenKind::Greater:
                return Comparison::Greater;
            case TokenKind::GreaterOrEqual:
                return Comparison::GreaterOrEqual;
            default:
                return std::nullopt;
        }
    }

    NodePtr comparison() {
        NodePtr left = additive();
        for (;;) {
            const Token op = current();
            const std::optional<Comparison> kind = comparisonOf(op.kind);
            if (!kind && op.kind != TokenKind::Dollar) return left;
            advance();
            NodePtr right = additive();
            const bool constant = left->isConstant() && right->isConstant();
            if (op.kind == TokenKind::Dollar) {
                if (left->type() != ValueType::Character || right->type() != ValueType::Character) {
                    typeError("\"$\"" + at(op) + " needs a text on both sides, not " +
                              typeName(left->type()) + " and " + typeName(right->type()));
                }
                left = finish(makeContains(std::move(left), std::move(right)), constant);
                continue;
            }
            if (left->type() != right->type()) {
                typeError("cannot compare " + typeName(left->type()) + " with " +
                          typeName(right->type()) + at(op));
            }
            left = finish(makeComparison(*kind, std::move(left), std::move(right)), constant);
        }
    }

    // ---- arithmetic -----------------------------------------------------------------

    NodePtr additive() {
        NodePtr left = multiplicative();
        while (current().kind == TokenKind::Plus || current().kind == TokenKind::Minus) {
            const Token op = advance();
            NodePtr right = multiplicative();
            left = combine(op, std::move(left), std::move(right));
        }
        return left;
    }

    NodePtr combine(const Token& op, NodePtr left, NodePtr right) {
        const bool subtract = op.kind == TokenKind::Minus;
        const bool constant = left->isConstant() && right->isConstant();
        const ValueType a = left->type();
        const ValueType b = right->type();
        NodePtr node;
        if (a == ValueType::Character && b == ValueType::Character) {
            node = makeConcatenation(std::move(left), std::move(right), subtract);
        } else if (a == ValueType::Numeric && b == ValueType::Numeric) {
            node = makeArithmetic(subtract ? Arithmetic::Subtract : Arithmetic::Add,
                                  std::move(left), std::move(right));
        } else if (a == ValueType::Date && b == ValueType::Numeric) {
            node = makeDateShift(std::move(left), std::move(right), subtract);
        } else if (a == ValueType::Numeric && b == ValueType::Date && !subtract) {
            node = makeDateShift(std::move(right), std::move(left), false);
        } else if (a == ValueType::Date && b == ValueType::Date && subtract) {
            node = makeDateDifference(std::move(left), std::move(right));
        } else if (subtract) {
            typeError("cannot subtract " + typeName(b) + " from " + typeName(a) + at(op));
        } else {
            typeError("cannot add " + typeName(a) + " and " + typeName(b) + at(op));
        }
        return finish(std::move(node), constant);
    }

    NodePtr multiplicative() {
        NodePtr left = unary();
        while (current().kind == TokenKind::Star || current().kind == TokenKind::Slash) {
            const Token op = advance();
            NodePtr right = unary();
            for (const Node* operand : {left.get(), right.get()}) {
                if (operand->type() != ValueType::Numeric) {
                    typeError(written(op) + at(op) + " needs numbers, not " +
                              typeName(operand->type()));
                }
            }
            const bool constant = left->isConstant() && right->isConstant();
            const Arithmetic operation =
                op.kind == TokenKind::Star ? Arithmetic::Multiply : Arithmetic::Divide;
            left = finish(makeArithmetic(operation, std::move(left), std::move(right)), constant);
        }
        return left;
    }

    NodePtr unary() {
        if (current().kind != TokenKind::Minus && current().kind != TokenKind::Plus) {
            return primary();
        }
        const Nesting nesting(*this);
        const Token op = advance();
        NodePtr operand = unary();
        if (operand->type() != ValueType::Numeric) {
            typeError(written(op) + at(op) + " needs a number, not " + typeName(operand->type()));
        }
        if (op.kind == TokenKind::Plus) return operand;
        const bool constant = operand->isConstant();
        return finish(makeNegate(std::move(operand)), constant);
    }

    // ---- values ---------------------------------------------------------------------

    NodePtr primary() {
        const Token token = current();
        switch (token.kind) {
            case TokenKind::Text:
                advance();
                return makeTextConstant(std::string(token.text));
            case TokenKind::Number:
                advance();
                return makeNumberConstant(token.number);
            case TokenKind::True:
            case TokenKind::False:
                advance();
                return makeLogicalConstant(token.kind == TokenKind::True);
            case TokenKind::LeftParen: {
                const Nesting nesting(*this);
                advance();
                NodePtr inner = orLevel();
                expectClosingParen();
                return inner;
            }
            case TokenKind::Name:
                advance();
                if (current().kind == TokenKind::LeftParen) return call(token);
                return field(token);
            case TokenKind::End:
                syntaxError("the expression ends where a value is expected");
            default:
                syntaxError("a value is expected" + at(token) + ", not " + written(token));
        }
    }

    void expectClosingParen() {
        if (current().kind != TokenKind::RightParen) {
            syntaxError("a closing \")\" is missing" + at(current()));
        }
        advance();
    }

    NodePtr field(const Token& name) {
        const int index = schema_.fieldIndex(name.text);
        if (index < 0) syntaxError("no field named " + std::string(name.text));
        const char type = schema_.fieldType(index);
        NodePtr node = makeField(index, type, schema_.fieldLength(index));
        if (!node) {
            typeError("the field " + std::string(name.text) + " has a type (" +
                      std::string(1, type) + ") that expressions cannot read");
        }
        return node;
    }

    NodePtr call(const Token& name) {
        const FunctionSpec* spec = findFunction(name.text);
        if (!spec) syntaxError("no function named " + std::string(name.text));
        const Nesting nesting(*this);
        advance();  // (
        Operands arguments;
        if (current().kind != TokenKind::RightParen) {
            for (;;) {
                arguments.push_back(orLevel());
                if (current().kind != TokenKind::Comma) break;
                advance();
            }
        }
        expectClosingParen();
        if (arguments.size() < spec->minArguments || arguments.size() > spec->maxArguments) {
            syntaxError(std::string(spec->name) + "() takes " + argumentCountText(*spec) +
                        ", not " + std::to_string(arguments.size()));
        }
        const bool constant = allConstant(arguments);
        return finish(build(*spec, arguments), constant);
    }

    void require(const FunctionSpec& spec, const Operands& arguments, size_t index,
                 ValueType type) const {
        const ValueType actual = arguments[index]->type();
        if (actual == type) return;
        const std::string function = std::string(spec.name) + "()";
        if (spec.maxArguments == 1) {
            typeError(function + " needs " + typeName(type) + ", not " + typeName(actual));
        }
        typeError("the " + ordinal(index) + " argument of " + function + " must be " +
                  typeName(type) + ", not " + typeName(actual));
    }

    NodePtr build(const FunctionSpec& spec, Operands& arguments) const {
        const auto take = [&arguments](size_t index) {
            return index < arguments.size() ? std::move(arguments[index]) : NodePtr();
        };
        const auto requireText = [&](size_t index) {
            require(spec, arguments, index, ValueType::Character);
        };
        const auto requireNumbers = [&](size_t from) {
            for (size_t i = from; i < arguments.size(); ++i) {
                require(spec, arguments, i, ValueType::Numeric);
            }
        };
        switch (spec.function) {
            case Function::Upper:
            case Function::Lower:
                requireText(0);
                return makeCase(take(0), spec.function == Function::Upper ? LetterCase::Upper
                                                                          : LetterCase::Lower);
            case Function::Trim:
            case Function::RightTrim:
                requireText(0);
                return makeTrim(take(0), TrimSides::Right);
            case Function::LeftTrim:
                requireText(0);
                return makeTrim(take(0), TrimSides::Left);
            case Function::AllTrim:
                requireText(0);
                return makeTrim(take(0), TrimSides::Both);
            case Function::Substring: {
                requireText(0);
                requireNumbers(1);
                const int width = substringWidth(arguments);
                return makeSubstring(take(0), take(1), take(2), width);
            }
            case Function::Left:
            case Function::Right: {
                requireText(0);
                requireNumbers(1);
                const std::optional<double> count = constantNumber(*arguments[1]);
                const int width = count ? atMost(arguments[0]->width(), wholeCount(*count))
                                        : arguments[0]->width();
                return spec.function == Function::Left ? makeLeft(take(0), take(1), width)
                                                       : makeRight(take(0), take(1), width);
            }
            case Function::DateToText:
                require(spec, arguments, 0, ValueType::Date);
                return makeDateToText(take(0));
            case Function::NumberToText: {
                requireNumbers(0);
                int width = kDefaultStrLength;
                if (arguments.size() > 1) {
                    const std::optional<double> length = constantNumber(*arguments[1]);
                    width = length ? static_cast<int>(
                                         std::clamp<int64_t>(wholeCount(*length), 0, kMaxStrLength))
                                   : kMaxStrLength;
                }
                return makeNumberToText(take(0), take(1), take(2), width);
            }
            case Function::TextToNumber:
                requireText(0);
                return makeTextToNumber(take(0));
            case Function::Deleted:
                return makeDeleted();
            case Function::RecordNumber:
                return makeRecordNumber();
            case Function::Empty:
                return makeIsEmpty(take(0));
            case Function::Choice:
                require(spec, arguments, 0, ValueType::Logical);
                require(spec, arguments, 2, arguments[1]->type());
                return makeChoice(take(0), take(1), take(2));
        }
        return nullptr;
    }

    // substr(text, start[, length]): what is left after a constant start, cut to a
    // constant length.
    int substringWidth(const Operands& arguments) const {
        int width = arguments[0]->width();
        if (const std::optional<double> start = constantNumber(*arguments[1]);
            start && width != kUnbounded) {
            width = clampWidth(int64_t{width} - std::max<int64_t>(wholeCount(*start), 1) + 1);
        }
        if (arguments.size() > 2) {
            if (const std::optional<double> length = constantNumber(*arguments[2])) {
                width = atMost(width, wholeCount(*length));
            }
        }
        return width;
    }

    std::string_view expression_;
    const RecordSource& schema_;
    Tokenizer tokenizer_;
    Token current_;
    int nesting_ = 0;
};

}  // namespace

NodePtr parse(std::string_view expression, const RecordSource& schema) {
    return Parser(expression, schema).run();
}

}  // namespace xbase::expr
