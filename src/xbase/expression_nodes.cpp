#include "expression_nodes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "expression_values.h"

namespace xbase::expr {

char* Scratch::allocate(size_t size) {
    if (size <= sizeof inline_ - used_) {
        char* at = inline_ + used_;
        used_ += size;
        return at;
    }
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    return blocks_.back().get();
}

std::string_view Scratch::keep(std::string text) {
    kept_.push_back(std::make_unique<std::string>(std::move(text)));
    return *kept_.back();
}

// The parser never asks a node for a kind of value it does not give; these answers only
// keep a mistake there from reading garbage.
std::string_view Node::text(Context&) const {
    return {};
}
double Node::number(Context&) const {
    return 0;
}
bool Node::logical(Context&) const {
    return false;
}

namespace {

int sumWidths(int a, int b) {
    if (a == kUnbounded || b == kUnbounded) return kUnbounded;
    return static_cast<int>(std::min<int64_t>(int64_t{a} + b, 1 << 30));
}

bool isTrueByte(char c) {
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

template <typename T>
T readLittleEndian(std::string_view bytes) {
    using Unsigned = std::make_unsigned_t<T>;
    Unsigned value = 0;
    for (size_t i = sizeof(T); i-- > 0;) {
        value = static_cast<Unsigned>(value << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return static_cast<T>(value);
}

// ---- constants --------------------------------------------------------------------

class Constant final : public Node {
  public:
    Constant(ValueType type, int width, std::string text, double number, bool logical)
        : Node(type, width), text_(std::move(text)), number_(number), logical_(logical) {}
    bool isConstant() const override { return true; }
    std::string_view text(Context&) const override { return text_; }
    double number(Context&) const override { return number_; }
    bool logical(Context&) const override { return logical_; }

  private:
    std::string text_;
    double number_;
    bool logical_;
};

// ---- fields -----------------------------------------------------------------------

class TextField final : public Node {
  public:
    TextField(int index, int length) : Node(ValueType::Character, length), index_(index) {}
    std::string_view text(Context& context) const override {
        return context.record.rawField(index_);
    }

  private:
    int index_;
};

class MemoField final : public Node {
  public:
    explicit MemoField(int index) : Node(ValueType::Character, kUnbounded), index_(index) {}
    std::string_view text(Context& context) const override {
        return context.scratch.keep(context.record.memoText(index_));
    }

  private:
    int index_;
};

enum class NumberStorage { Digits, Integer, Double, Currency };

class NumberField final : public Node {
  public:
    NumberField(int index, NumberStorage storage)
        : Node(ValueType::Numeric, 0), index_(index), storage_(storage) {}
    double number(Context& context) const override {
        const std::string_view bytes = context.record.rawField(index_);
        switch (storage_) {
            case NumberStorage::Digits:
                return parseNumber(bytes);
            case NumberStorage::Integer:
                return bytes.size() < 4 ? 0 : readLittleEndian<int32_t>(bytes);
            case NumberStorage::Double:
                return bytes.size() < 8 ? 0
                                        : std::bit_cast<double>(readLittleEndian<uint64_t>(bytes));
            case NumberStorage::Currency:
                return bytes.size() < 8
                           ? 0
                           : static_cast<double>(readLittleEndian<int64_t>(bytes)) / 10000.0;
        }
        return 0;
    }

  private:
    int index_;
    NumberStorage storage_;
};

class DateField final : public Node {
  public:
    DateField(int index, bool binary) : Node(ValueType::Date, 0), index_(index), binary_(binary) {}
    double number(Context& context) const override {
        const std::string_view bytes = context.record.rawField(index_);
        if (!binary_) return static_cast<double>(parseDate(bytes));
        // A date-time keeps its day as a little-endian Julian day; the time is ignored.
        if (bytes.size() < 4) return 0;
        const int32_t day = readLittleEndian<int32_t>(bytes);
        return (day < kFirstJulianDay || day > kLastJulianDay) ? 0 : day;
    }

  private:
    int index_;
    bool binary_;
};

class LogicalField final : public Node {
  public:
    explicit LogicalField(int index) : Node(ValueType::Logical, 0), index_(index) {}
    bool logical(Context& context) const override {
        const std::string_view bytes = context.record.rawField(index_);
        return !bytes.empty() && isTrueByte(bytes[0]);
    }

  private:
    int index_;
};

class Deleted final : public Node {
  public:
    Deleted() : Node(ValueType::Logical, 0) {}
    bool logical(Context& context) const override { return context.record.isDeleted(); }
};

class RecordNumber final : public Node {
  public:
    RecordNumber() : Node(ValueType::Numeric, 0) {}
    double number(Context& context) const override { return context.record.recordNumber(); }
};

// A node over one operand, and one over two. The operands come as rvalue references so
// that a derived class may read them (for a width) in the same call that hands them on.
class Unary : public Node {
  protected:
    Unary(ValueType type, int width, NodePtr&& operand)
        : Node(type, width), operand_(std::move(operand)) {
        adopt(*operand_);
    }
    NodePtr operand_;
};

class Binary : public Node {
  protected:
    Binary(ValueType type, int width, NodePtr&& left, NodePtr&& right)
        : Node(type, width), left_(std::move(left)), right_(std::move(right)) {
        adopt(*left_);
        adopt(*right_);
    }
    NodePtr left_;
    NodePtr right_;
};

// ---- text functions ---------------------------------------------------------------

class CaseMap final : public Unary {
  public:
    CaseMap(NodePtr text, LetterCase letterCase)
        : Unary(ValueType::Character, text->width(), std::move(text)),
          upper_(letterCase == LetterCase::Upper) {}
    std::string_view text(Context& context) const override {
        const std::string_view source = operand_->text(context);
        char* out = context.scratch.allocate(source.size());
        // Lambdas rather than function pointers, so that the loop is inlined.
        if (upper_) {
            std::transform(source.begin(), source.end(), out, [](char c) { return upperAscii(c); });
        } else {
            std::transform(source.begin(), source.end(), out, [](char c) { return lowerAscii(c); });
        }
        return {out, source.size()};
    }

  private:
    bool upper_;
};

class Trim final : public Unary {
  public:
    Trim(NodePtr text, TrimSides sides)
        : Unary(ValueType::Character, text->width(), std::move(text)), sides_(sides) {}
    std::string_view text(Context& context) const override {
        std::string_view value = operand_->text(context);
        if (sides_ != TrimSides::Left) {
            while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
        }
        if (sides_ != TrimSides::Right) {
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        }
        return value;
    }

  private:
    TrimSides sides_;
};

class Substring final : public Binary {
  public:
    Substring(NodePtr text, NodePtr start, NodePtr length, int width)
        : Binary(ValueType::Character, width, std::move(text), std::move(start)),
          length_(std::move(length)) {
        if (length_) adopt(*length_);
    }
    std::string_view text(Context& context) const override {
        const std::string_view value = left_->text(context);
        // Positions count from 1; a start before the first byte reads from the first.
        const int64_t start = std::max<int64_t>(wholeCount(right_->number(context)), 1);
        if (start > static_cast<int64_t>(value.size())) return {};
        const std::string_view rest = value.substr(static_cast<size_t>(start - 1));
        if (!length_) return rest;
        const int64_t count = wholeCount(length_->number(context));
        return count <= 0 ? std::string_view() : rest.substr(0, static_cast<size_t>(count));
    }

  private:
    NodePtr length_;
};

class Edge final : public Binary {
  public:
    Edge(NodePtr text, NodePtr count, int width, bool fromLeft)
        : Binary(ValueType::Character, width, std::move(text), std::move(count)),
          fromLeft_(fromLeft) {}
    std::string_view text(Context& context) const override {
        const std::string_view value = left_->text(context);
        const int64_t count = wholeCount(right_->number(context));
        if (count <= 0) return {};
        const size_t size = static_cast<size_t>(std::min<int64_t>(count, value.size()));
        return fromLeft_ ? value.substr(0, size) : value.substr(value.size() - size);
    }

  private:
    bool fromLeft_;
};

class DateToText final : public Unary {
  public:
    explicit DateToText(NodePtr date) : Unary(ValueType::Character, 8, std::move(date)) {}
    std::string_view text(Context& context) const override {
        char* out = context.scratch.allocate(8);
        formatDate(operand_->number(context), out);
        return {out, 8};
    }
};

class NumberToText final : public Unary {
  public:
    NumberToText(NodePtr number, NodePtr length, NodePtr decimals, int width)
        : Unary(ValueType::Character, width, std::move(number)),
          length_(std::move(length)),
          decimals_(std::move(decimals)) {
        if (length_) adopt(*length_);
        if (decimals_) adopt(*decimals_);
    }
    std::string_view text(Context& context) const override {
        const double value = operand_->number(context);
        const int64_t length =
            length_ ? std::clamp<int64_t>(wholeCount(length_->number(context)), 0, kMaxStrLength)
                    : kDefaultStrLength;
        const int64_t decimals =
            decimals_ ? std::clamp<int64_t>(wholeCount(decimals_->number(context)), 0, 15) : 0;
        char* out = context.scratch.allocate(static_cast<size_t>(length));
        formatNumber(value, static_cast<int>(length), static_cast<int>(decimals), out);
        return {out, static_cast<size_t>(length)};
    }

  private:
    NodePtr length_;
    NodePtr decimals_;
};

class TextToNumber final : public Unary {
  public:
    explicit TextToNumber(NodePtr text) : Unary(ValueType::Numeric, 0, std::move(text)) {}
    double number(Context& context) const override { return parseNumber(operand_->text(context)); }
};

class IsEmpty final : public Unary {
  public:
    explicit IsEmpty(NodePtr value) : Unary(ValueType::Logical, 0, std::move(value)) {}
    bool logical(Context& context) const override {
        switch (operand_->type()) {
            case ValueType::Character: {
                const std::string_view text = operand_->text(context);
                return std::all_of(text.begin(), text.end(), [](char c) {
                    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
                });
            }
            case ValueType::Numeric:
            case ValueType::Date:
                return operand_->number(context) == 0;
            case ValueType::Logical:
                return !operand_->logical(context);
        }
        return false;
    }
};

class Choice final : public Binary {
  public:
    Choice(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse)
        : Binary(whenTrue->type(),
                 (whenTrue->width() == kUnbounded || whenFalse->width() == kUnbounded)
                     ? kUnbounded
                     : std::max(whenTrue->width(), whenFalse->width()),
                 std::move(whenTrue), std::move(whenFalse)),
          condition_(std::move(condition)) {
        adopt(*condition_);
    }
    std::string_view text(Context& context) const override { return pick(context).text(context); }
    double number(Context& context) const override { return pick(context).number(context); }
    bool logical(Context& context) const override { return pick(context).logical(context); }

  private:
    const Node& pick(Context& context) const {
        return condition_->logical(context) ? *left_ : *right_;
    }
    NodePtr condition_;
};

// ---- operators --------------------------------------------------------------------

class ArithmeticNode final : public Binary {
  public:
    ArithmeticNode(Arithmetic operation, NodePtr left, NodePtr right)
        : Binary(ValueType::Numeric, 0, std::move(left), std::move(right)), operation_(operation) {}
    double number(Context& context) const override {
        const double a = left_->number(context);
        const double b = right_->number(context);
        switch (operation_) {
            case Arithmetic::Add:
                return a + b;
            case Arithmetic::Subtract:
                return a - b;
            case Arithmetic::Multiply:
                return a * b;
            case Arithmetic::Divide:
                // As in Clipper: a zero divisor gives 0 rather than stopping a whole scan
                // (or putting an unorderable value into an index).
                return b == 0 ? 0 : a / b;
        }
        return 0;
    }

  private:
    Arithmetic operation_;
};

class Negate final : public Unary {
  public:
    explicit Negate(NodePtr number) : Unary(ValueType::Numeric, 0, std::move(number)) {}
    double number(Context& context) const override { return -operand_->number(context); }
};

class DateShift final : public Binary {
  public:
    DateShift(NodePtr date, NodePtr days, bool subtract)
        : Binary(ValueType::Date, 0, std::move(date), std::move(days)), subtract_(subtract) {}
    double number(Context& context) const override {
        const double date = left_->number(context);
        const double days = right_->number(context);
        if (date == 0) return 0;  // an empty date stays empty
        const double result = std::round(subtract_ ? date - days : date + days);
        if (!(result >= kFirstJulianDay && result <= kLastJulianDay)) return 0;
        return result;
    }

  private:
    bool subtract_;
};

class DateDifference final : public Binary {
  public:
    DateDifference(NodePtr left, NodePtr right)
        : Binary(ValueType::Numeric, 0, std::move(left), std::move(right)) {}
    double number(Context& context) const override {
        return left_->number(context) - right_->number(context);
    }
};

class Concatenation final : public Binary {
  public:
    Concatenation(NodePtr left, NodePtr right, bool moveBlanks)
        : Binary(ValueType::Character, sumWidths(left->width(), right->width()), std::move(left),
                 std::move(right)),
          moveBlanks_(moveBlanks) {}
    std::string_view text(Context& context) const override {
        std::string_view a = left_->text(context);
        const std::string_view b = right_->text(context);
        const size_t size = a.size() + b.size();
        char* out = context.scratch.allocate(size);
        size_t blanks = 0;
        if (moveBlanks_) {
            while (blanks < a.size() && a[a.size() - 1 - blanks] == ' ') ++blanks;
            a.remove_suffix(blanks);
        }
        if (!a.empty()) std::memcpy(out, a.data(), a.size());
        if (!b.empty()) std::memcpy(out + a.size(), b.data(), b.size());
        std::memset(out + a.size() + b.size(), ' ', blanks);
        return {out, size};
    }

  private:
    bool moveBlanks_;
};

// How two operands of one type order: negative, zero or positive.
struct TextOrder {
    int operator()(const Node& a, const Node& b, Context& context) const {
        const std::string_view left = a.text(context);
        return comparePadded(left, b.text(context));
    }
};
struct NumberOrder {
    int operator()(const Node& a, const Node& b, Context& context) const {
        const double left = a.number(context);
        const double right = b.number(context);
        return left < right ? -1 : (right < left ? 1 : 0);
    }
};
struct LogicalOrder {
    int operator()(const Node& a, const Node& b, Context& context) const {
        const int left = a.logical(context) ? 1 : 0;
        return left - (b.logical(context) ? 1 : 0);
    }
};

template <typename Order>
class ComparisonNode final : public Binary {
  public:
    ComparisonNode(Comparison comparison, NodePtr left, NodePtr right)
        : Binary(ValueType::Logical, 0, std::move(left), std::move(right)),
          comparison_(comparison) {}
    bool logical(Context& context) const override {
        const int order = Order{}(*left_, *right_, context);
        switch (comparison_) {
            case Comparison::Equal:
                return order == 0;
            case Comparison::NotEqual:
                return order != 0;
            case Comparison::Less:
                return order < 0;
            case Comparison::LessOrEqual:
                return order <= 0;
            case Comparison::Greater:
                return order > 0;
            case Comparison::GreaterOrEqual:
                return order >= 0;
        }
        return false;
    }

  private:
    Comparison comparison_;
};

class Contains final : public Binary {
  public:
    Contains(NodePtr needle, NodePtr haystack)
        : Binary(ValueType::Logical, 0, std::move(needle), std::move(haystack)) {}
    bool logical(Context& context) const override {
        const std::string_view needle = left_->text(context);
        return right_->text(context).find(needle) != std::string_view::npos;
    }
};

class Not final : public Unary {
  public:
    explicit Not(NodePtr operand) : Unary(ValueType::Logical, 0, std::move(operand)) {}
    bool logical(Context& context) const override { return !operand_->logical(context); }
};

class LogicalChain final : public Node {
  public:
    LogicalChain(bool isAnd, std::vector<NodePtr> operands)
        : Node(ValueType::Logical, 0), isAnd_(isAnd), operands_(std::move(operands)) {
        for (const NodePtr& operand : operands_) adopt(*operand);
    }
    bool logical(Context& context) const override {
        // AND stops at the first false, OR at the first true.
        for (const NodePtr& operand : operands_) {
            if (operand->logical(context) != isAnd_) return !isAnd_;
        }
        return isAnd_;
    }

  private:
    bool isAnd_;
    std::vector<NodePtr> operands_;
};

}  // namespace

NodePtr makeTextConstant(std::string text) {
    const int width = static_cast<int>(std::min<size_t>(text.size(), 1 << 30));
    return std::make_unique<Constant>(ValueType::Character, width, std::move(text), 0, false);
}

NodePtr makeNumberConstant(double value) {
    return std::make_unique<Constant>(ValueType::Numeric, 0, std::string(), value, false);
}

NodePtr makeDateConstant(double julian) {
    return std::make_unique<Constant>(ValueType::Date, 0, std::string(), julian, false);
}

NodePtr makeLogicalConstant(bool value) {
    return std::make_unique<Constant>(ValueType::Logical, 0, std::string(), 0, value);
}

NodePtr foldConstant(const Node& node, const RecordSource& schema) {
    Context context(schema);
    switch (node.type()) {
        case ValueType::Character:
            return std::make_unique<Constant>(ValueType::Character, node.width(),
                                              std::string(node.text(context)), 0, false);
        case ValueType::Numeric:
            return makeNumberConstant(node.number(context));
        case ValueType::Date:
            return makeDateConstant(node.number(context));
        case ValueType::Logical:
            return makeLogicalConstant(node.logical(context));
    }
    return nullptr;
}

NodePtr makeField(int index, char type, int length) {
    switch (type) {
        case 'C':
        case 'V':  // varchar: the bytes as stored, like C
        case 'Q':  // varbinary
            return std::make_unique<TextField>(index, std::max(length, 0));
        case 'M':
        case 'G':  // general and blob fields are memos too
        case 'W':
            return std::make_unique<MemoField>(index);
        case 'N':
        case 'F':
            return std::make_unique<NumberField>(index, NumberStorage::Digits);
        case 'I':
            return std::make_unique<NumberField>(index, NumberStorage::Integer);
        case 'B':
            return std::make_unique<NumberField>(index, NumberStorage::Double);
        case 'Y':
            return std::make_unique<NumberField>(index, NumberStorage::Currency);
        case 'D':
            return std::make_unique<DateField>(index, false);
        case 'T':
            return std::make_unique<DateField>(index, true);
        case 'L':
            return std::make_unique<LogicalField>(index);
        default:
            return nullptr;
    }
}

NodePtr makeDeleted() {
    return std::make_unique<Deleted>();
}
NodePtr makeRecordNumber() {
    return std::make_unique<RecordNumber>();
}

NodePtr makeCase(NodePtr text, LetterCase letterCase) {
    return std::make_unique<CaseMap>(std::move(text), letterCase);
}

NodePtr makeTrim(NodePtr text, TrimSides sides) {
    return std::make_unique<Trim>(std::move(text), sides);
}

NodePtr makeSubstring(NodePtr text, NodePtr start, NodePtr length, int width) {
    return std::make_unique<Substring>(std::move(text), std::move(start), std::move(length), width);
}

NodePtr makeLeft(NodePtr text, NodePtr count, int width) {
    return std::make_unique<Edge>(std::move(text), std::move(count), width, true);
}

NodePtr makeRight(NodePtr text, NodePtr count, int width) {
    return std::make_unique<Edge>(std::move(text), std::move(count), width, false);
}

NodePtr makeDateToText(NodePtr date) {
    return std::make_unique<DateToText>(std::move(date));
}

NodePtr makeNumberToText(NodePtr number, NodePtr length, NodePtr decimals, int width) {
    return std::make_unique<NumberToText>(std::move(number), std::move(length), std::move(decimals),
                                          width);
}

NodePtr makeTextToNumber(NodePtr text) {
    return std::make_unique<TextToNumber>(std::move(text));
}
NodePtr makeIsEmpty(NodePtr value) {
    return std::make_unique<IsEmpty>(std::move(value));
}

NodePtr makeChoice(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse) {
    return std::make_unique<Choice>(std::move(condition), std::move(whenTrue),
                                    std::move(whenFalse));
}

NodePtr makeArithmetic(Arithmetic operation, NodePtr left, NodePtr right) {
    return std::make_unique<ArithmeticNode>(operation, std::move(left), std::move(right));
}

NodePtr makeNegate(NodePtr number) {
    return std::make_unique<Negate>(std::move(number));
}

NodePtr makeDateShift(NodePtr date, NodePtr days, bool subtract) {
    return std::make_unique<DateShift>(std::move(date), std::move(days), subtract);
}

NodePtr makeDateDifference(NodePtr left, NodePtr right) {
    return std::make_unique<DateDifference>(std::move(left), std::move(right));
}

NodePtr makeConcatenation(NodePtr left, NodePtr right, bool moveBlanks) {
    return std::make_unique<Concatenation>(std::move(left), std::move(right), moveBlanks);
}

NodePtr makeComparison(Comparison comparison, NodePtr left, NodePtr right) {
    switch (left->type()) {
        case ValueType::Character:
            return std::make_unique<ComparisonNode<TextOrder>>(comparison, std::move(left),
                                                               std::move(right));
        case ValueType::Numeric:
        case ValueType::Date:
            return std::make_unique<ComparisonNode<NumberOrder>>(comparison, std::move(left),
                                                                 std::move(right));
        case ValueType::Logical:
            return std::make_unique<ComparisonNode<LogicalOrder>>(comparison, std::move(left),
                                                                  std::move(right));
    }
    return nullptr;
}

NodePtr makeContains(NodePtr needle, NodePtr haystack) {
    return std::make_unique<Contains>(std::move(needle), std::move(haystack));
}

NodePtr makeNot(NodePtr operand) {
    return std::make_unique<Not>(std::move(operand));
}

NodePtr makeLogicalChain(bool isAnd, std::vector<NodePtr> operands) {
    return std::make_unique<LogicalChain>(isAnd, std::move(operands));
}

}  // namespace xbase::expr
