#include "xbase/expression.h"

#include <algorithm>

#include "expression_nodes.h"
#include "expression_parser.h"
#include "expression_values.h"

namespace xbase {

struct Expression::Node {
    expr::NodePtr tree;
};

Expression::Expression(std::string text) : text_(std::move(text)) {}
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;
Expression::~Expression() = default;

Expression Expression::compile(std::string_view text, const RecordSource& schema) {
    Expression expression{std::string(text)};
    expression.root_ = std::make_unique<Node>(Node{expr::parse(expression.text_, schema)});
    const expr::Node& tree = *expression.root_->tree;
    expression.type_ = tree.type();
    switch (expression.type_) {
        case ValueType::Character:
            // A text whose length has no bound (a memo) cannot key an index.
            expression.keyLength_ = tree.width() == expr::kUnbounded ? 0 : tree.width();
            break;
        case ValueType::Numeric:
        case ValueType::Date:
            expression.keyLength_ = expr::kNumericKeyLength;
            break;
        case ValueType::Logical:
            expression.keyLength_ = 1;
            break;
    }
    return expression;
}

std::string Expression::quote(std::string_view text) {
    // Each piece goes between delimiters it does not contain; a text holding all three
    // kinds becomes a sum of pieces.
    static constexpr char kOpening[] = {'"', '\'', '['};
    static constexpr char kClosing[] = {'"', '\'', ']'};
    std::string out;
    size_t start = 0;
    do {
        bool present[3] = {false, false, false};
        size_t end = start;
        for (; end < text.size(); ++end) {
            bool next[3] = {present[0], present[1], present[2]};
            for (int d = 0; d < 3; ++d) next[d] = next[d] || text[end] == kClosing[d];
            if (next[0] && next[1] && next[2]) break;
            std::copy(next, next + 3, present);
        }
        const int d = !present[0] ? 0 : (!present[1] ? 1 : 2);
        if (!out.empty()) out += '+';
        out += kOpening[d];
        out.append(text.substr(start, end - start));
        out += kClosing[d];
        start = end;
    } while (start < text.size());
    return out;
}

const std::string& Expression::text() const {
    return text_;
}
ValueType Expression::resultType() const {
    return type_;
}
int Expression::keyLength() const {
    return keyLength_;
}

Value Expression::evaluate(const RecordSource& record) const {
    expr::Context context(record);
    const expr::Node& tree = *root_->tree;
    Value value;
    value.type = type_;
    switch (type_) {
        case ValueType::Character:
            value.text = std::string(tree.text(context));
            break;
        case ValueType::Numeric:
            value.number = tree.number(context);
            break;
        case ValueType::Date:
            value.number = tree.number(context);
            value.text.resize(8);
            expr::formatDate(value.number, value.text.data());
            break;
        case ValueType::Logical:
            value.logical = tree.logical(context);
            break;
    }
    return value;
}

bool Expression::isTrue(const RecordSource& record) const {
    if (type_ != ValueType::Logical) {
        const char* given = type_ == ValueType::Character ? "a text"
                            : type_ == ValueType::Numeric ? "a number"
                                                          : "a date";
        expr::throwTypeError(
            text_, std::string("a filter must be true or false, but this gives ") + given);
    }
    expr::Context context(record);
    return root_->tree->logical(context);
}

void Expression::evaluateKey(const RecordSource& record, std::string& out) const {
    expr::Context context(record);
    const expr::Node& tree = *root_->tree;
    const size_t length = static_cast<size_t>(keyLength_);
    switch (type_) {
        case ValueType::Character: {
            const std::string_view text = tree.text(context);
            out.assign(text.substr(0, length));
            out.resize(length, ' ');
            break;
        }
        case ValueType::Numeric:
        case ValueType::Date:
            out.resize(length);
            expr::encodeNumericKey(tree.number(context), out.data());
            break;
        case ValueType::Logical:
            out.assign(1, tree.logical(context) ? 'T' : 'F');
            break;
    }
}

uint8_t Expression::keyPadByte() const {
    return type_ == ValueType::Character ? ' ' : 0;
}

}  // namespace xbase
