#pragma once
// The compiled form of an expression: a typed tree whose nodes read the record and
// compute their result. The parser has checked every operand's type, so a node asks
// its children only for the kind of value they are known to give.
//
// Texts are handed up the tree as views: into the record itself, into a constant, or
// into the scratch space of one evaluation, so a filter such as "SMI"$upper(Name)
// runs without touching the heap.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/expression.h"

namespace xbase::expr {

// The width of a text result whose length has no upper bound (it reads a memo).
inline constexpr int kUnbounded = -1;

// Bump storage for the texts that one evaluation makes; freed all at once.
class Scratch {
  public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    char* allocate(size_t size);
    // Keeps a text alive until the evaluation ends (memo texts arrive as strings).
    std::string_view keep(std::string text);

  private:
    char inline_[1024];
    size_t used_ = 0;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<std::string>> kept_;
};

struct Context {
    explicit Context(const RecordSource& source) : record(source) {}
    const RecordSource& record;
    Scratch scratch;
};

class Node {
  public:
    Node(ValueType type, int width) : type_(type), width_(width) {}
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    ValueType type() const { return type_; }
    // For texts, the most bytes the result can have, or kUnbounded.
    int width() const { return width_; }
    // Levels of nodes below and including this one.
    int depth() const { return depth_; }
    virtual bool isConstant() const { return false; }

    // Each node answers the one of these that matches its type. Dates answer number()
    // with their Julian day, 0 when empty.
    virtual std::string_view text(Context& context) const;
    virtual double number(Context& context) const;
    virtual bool logical(Context& context) const;

  protected:
    void adopt(const Node& child) {
        if (child.depth_ + 1 > depth_) depth_ = child.depth_ + 1;
    }

  private:
    ValueType type_;
    int width_;
    int depth_ = 1;
};

using NodePtr = std::unique_ptr<Node>;

NodePtr makeTextConstant(std::string text);
NodePtr makeNumberConstant(double value);
NodePtr makeDateConstant(double julian);
NodePtr makeLogicalConstant(bool value);
// Evaluates a node whose operands are all constants and returns it as a constant of
// the same type and width.
NodePtr foldConstant(const Node& node, const RecordSource& schema);

// A field of the record, by its xBase type letter; null for a type expressions cannot
// read (the caller reports it).
NodePtr makeField(int index, char type, int length);
NodePtr makeDeleted();
NodePtr makeRecordNumber();

enum class LetterCase { Upper, Lower };
NodePtr makeCase(NodePtr text, LetterCase letterCase);
enum class TrimSides { Right, Left, Both };
NodePtr makeTrim(NodePtr text, TrimSides sides);
// `length` may be null (to the end). `width` is worked out by the caller, which knows
// which arguments are constants.
NodePtr makeSubstring(NodePtr text, NodePtr start, NodePtr length, int width);
NodePtr makeLeft(NodePtr text, NodePtr count, int width);
NodePtr makeRight(NodePtr text, NodePtr count, int width);
NodePtr makeDateToText(NodePtr date);
// `length` and `decimals` may be null (10 and 0).
NodePtr makeNumberToText(NodePtr number, NodePtr length, NodePtr decimals, int width);
NodePtr makeTextToNumber(NodePtr text);
NodePtr makeIsEmpty(NodePtr value);
NodePtr makeChoice(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse);

enum class Arithmetic { Add, Subtract, Multiply, Divide };
NodePtr makeArithmetic(Arithmetic operation, NodePtr left, NodePtr right);
NodePtr makeNegate(NodePtr number);
// date + days, days + date, date - days (days negated by the node).
NodePtr makeDateShift(NodePtr date, NodePtr days, bool subtract);
NodePtr makeDateDifference(NodePtr left, NodePtr right);
// Text + text; with `moveBlanks` the trailing blanks of the left text go to the end.
NodePtr makeConcatenation(NodePtr left, NodePtr right, bool moveBlanks);

enum class Comparison { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
// Both operands have the same type (checked by the caller).
NodePtr makeComparison(Comparison comparison, NodePtr left, NodePtr right);
NodePtr makeContains(NodePtr needle, NodePtr haystack);
NodePtr makeNot(NodePtr operand);
// AND or OR over two or more operands, left to right, stopping as soon as it is decided.
NodePtr makeLogicalChain(bool isAnd, std::vector<NodePtr> operands);

}  // namespace xbase::expr
