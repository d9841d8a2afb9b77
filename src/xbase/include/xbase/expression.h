#pragma once
// xBase expressions, as used for filters and index keys:
//   upper(Name), "SMI"$upper(Name), Name="Smith" OR Name="Jones",
//   upper(Name) >= "A" .AND. upper(Name) <= "B", NOT deleted(), dtos(LastDate)
// Field names are matched without regard to case. Text constants are in double or
// single quotes (or square brackets). Comparing two texts pads the shorter with blanks.
// Functions: upper lower trim rtrim ltrim alltrim substr left right dtos str val
// deleted recno empty iif (names may be shortened to their first four letters).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace xbase {

enum class ValueType { Character, Numeric, Date, Logical };

struct Value {
    ValueType type = ValueType::Logical;
    std::string text;   // Character: the bytes; Date: "YYYYMMDD", or 8 blanks when empty
    double number = 0;  // Numeric: the value; Date: the Julian day number, 0 when empty
    bool logical = false;
};

// What an expression reads: the layout of a table and the current record's bytes.
class RecordSource {
  public:
    virtual ~RecordSource() = default;
    virtual int fieldIndex(std::string_view name) const = 0;  // ignoring case; -1 if none
    virtual char fieldType(int field) const = 0;              // 'C', 'N', 'F', 'D', 'L', 'M', ...
    virtual int fieldLength(int field) const = 0;
    virtual int fieldDecimals(int field) const = 0;
    virtual std::string_view rawField(int field) const = 0;  // the field's bytes in the record
    virtual std::string memoText(int field) const = 0;       // the memo's bytes ('M' fields)
    virtual bool isDeleted() const = 0;
    virtual uint32_t recordNumber() const = 0;
};

class Expression {
  public:
    // Parses `text` against the fields of `schema`. Throws Error(ErrorKind::Expression)
    // with a message that quotes the expression and says what is wrong.
    static Expression compile(std::string_view text, const RecordSource& schema);
    // A text constant that stands for `text` exactly, whatever quotes it holds: for
    // building expressions from names such as O"Brien or [x]'s.
    static std::string quote(std::string_view text);

    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;
    ~Expression();

    const std::string& text() const;
    ValueType resultType() const;
    // The fixed width of the result when it is used as an index key: the field width
    // for upper(Name) or Name, 8 for dtos() and for numeric and date keys, 1 for logical.
    // 0 when a text has no fixed width (it reads a memo): such an expression cannot key
    // an index.
    int keyLength() const;

    // Evaluation raises no errors of its own (only those of the record source, such as
    // a memo that cannot be read) and keeps no state between calls, so one compiled
    // expression may serve many records (and threads) at once.
    Value evaluate(const RecordSource& record) const;
    // For filters. Throws Error(ErrorKind::Expression) when the result is not logical.
    bool isTrue(const RecordSource& record) const;
    // Index key bytes, exactly keyLength() of them: character results padded with blanks
    // or cut; numbers and dates as 8 bytes that sort as unsigned bytes the way the values
    // sort (the FoxPro CDX encoding of a double; dates as their Julian day number);
    // logical as "T" or "F".
    void evaluateKey(const RecordSource& record, std::string& out) const;
    // The byte that pads keys of this expression: a blank for character keys, else 0.
    uint8_t keyPadByte() const;

  private:
    struct Node;
    explicit Expression(std::string text);
    std::string text_;
    std::unique_ptr<Node> root_;
    ValueType type_ = ValueType::Logical;
    int keyLength_ = 0;
};

}  // namespace xbase
