// Expressions of any text, compiled against the address table's fields and a few more, and
// evaluated on a record of arbitrary bytes. The input is the expression, a NUL, then the
// record's bytes and after a second NUL the memo's text. A text quoted by Expression::quote
// must always compile to itself.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <xbase/error.h>
#include <xbase/expression.h>

#include "memory_file_system.h"

namespace {

struct Field {
    const char* name;
    char type;
    int length;
    int decimals;
};

constexpr Field kFields[] = {{"NAME", 'C', 30, 0},   {"INFO", 'M', 10, 0}, {"LASTDATE", 'D', 8, 0},
                             {"AMOUNT", 'N', 10, 2}, {"PAID", 'L', 1, 0},  {"NOTE", 'C', 10, 0}};

class Record final : public xbase::RecordSource {
  public:
    Record(std::string bytes, std::string memo) : bytes_(std::move(bytes)), memo_(std::move(memo)) {
        size_t width = 1;
        for (const Field& f : kFields) width += static_cast<size_t>(f.length);
        bytes_.resize(width, ' ');
    }
    int fieldIndex(std::string_view name) const override {
        for (int i = 0; i < static_cast<int>(std::size(kFields)); ++i) {
            const std::string_view field = kFields[i].name;
            if (field.size() == name.size() &&
                std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
                    return a == (b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : b);
                }))
                return i;
        }
        return -1;
    }
    char fieldType(int field) const override { return kFields[field].type; }
    int fieldLength(int field) const override { return kFields[field].length; }
    int fieldDecimals(int field) const override { return kFields[field].decimals; }
    std::string_view rawField(int field) const override {
        size_t offset = 1;
        for (int i = 0; i < field; ++i) offset += static_cast<size_t>(kFields[i].length);
        return std::string_view(bytes_).substr(offset, static_cast<size_t>(kFields[field].length));
    }
    std::string memoText(int) const override { return memo_; }
    bool isDeleted() const override { return bytes_[0] == '*'; }
    uint32_t recordNumber() const override { return 7; }

  private:
    std::string bytes_;
    std::string memo_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parts = fuzzing::splitInput(
        std::string_view(reinterpret_cast<const char*>(data), size), std::string_view("\0", 1), 3);
    const Record record(parts[1], parts[2]);
    try {
        const xbase::Expression expression = xbase::Expression::compile(parts[0], record);
        const xbase::Value value = expression.evaluate(record);
        (void)value;
        if (expression.keyLength() > 0) {
            std::string key;
            expression.evaluateKey(record, key);
            if (key.size() != static_cast<size_t>(expression.keyLength())) std::abort();
        }
        if (expression.resultType() == xbase::ValueType::Logical) expression.isTrue(record);
    } catch (const xbase::Error&) {
    }
    const xbase::Expression quoted =
        xbase::Expression::compile(xbase::Expression::quote(parts[0]), record);
    if (quoted.evaluate(record).text != parts[0]) std::abort();
    return 0;
}
