#pragma once
// A record held in memory, laid out like a DBF record, for the expression tests.

#include <cctype>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xbase/expression.h"

namespace expressiontest {

struct FieldSpec {
    std::string name;
    char type;
    int length;
    int decimals = 0;
};

class MemoryRecord : public xbase::RecordSource {
  public:
    explicit MemoryRecord(std::vector<FieldSpec> fields) : fields_(std::move(fields)) {
        for (const FieldSpec& field : fields_) {
            values_.emplace_back(static_cast<size_t>(field.length), ' ');
        }
    }

    // The address book's own table: NAME C(30), INFO M(10), LASTDATE D(8).
    static MemoryRecord address() {
        return MemoryRecord({{"NAME", 'C', 30}, {"INFO", 'M', 10}, {"LASTDATE", 'D', 8}});
    }

    // Stores a value as a DBF writer would: texts left-aligned and blank-padded, numbers
    // right-aligned, anything too long cut to the field's width.
    MemoryRecord& set(std::string_view field, std::string_view value) {
        const int index = require(field);
        std::string& bytes = values_[static_cast<size_t>(index)];
        const size_t width = bytes.size();
        const std::string_view cut = value.substr(0, width);
        const char type = fields_[static_cast<size_t>(index)].type;
        bytes.assign(width, ' ');
        if (type == 'N' || type == 'F') {
            bytes.replace(width - cut.size(), cut.size(), cut);
        } else {
            bytes.replace(0, cut.size(), cut);
        }
        return *this;
    }
    // The field's bytes exactly as given (binary fields, damaged records).
    MemoryRecord& setRaw(std::string_view field, std::string bytes) {
        values_[static_cast<size_t>(require(field))] = std::move(bytes);
        return *this;
    }
    MemoryRecord& setMemo(std::string_view field, std::string text) {
        memos_[require(field)] = std::move(text);
        return *this;
    }
    MemoryRecord& setDeleted(bool deleted) {
        deleted_ = deleted;
        return *this;
    }
    MemoryRecord& setRecordNumber(uint32_t number) {
        recordNumber_ = number;
        return *this;
    }

    int fieldIndex(std::string_view name) const override {
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (sameIgnoringCase(fields_[i].name, name)) return static_cast<int>(i);
        }
        return -1;
    }
    char fieldType(int field) const override { return fields_.at(static_cast<size_t>(field)).type; }
    int fieldLength(int field) const override {
        return fields_.at(static_cast<size_t>(field)).length;
    }
    int fieldDecimals(int field) const override {
        return fields_.at(static_cast<size_t>(field)).decimals;
    }
    std::string_view rawField(int field) const override {
        return values_.at(static_cast<size_t>(field));
    }
    std::string memoText(int field) const override {
        const auto found = memos_.find(field);
        return found == memos_.end() ? std::string() : found->second;
    }
    bool isDeleted() const override { return deleted_; }
    uint32_t recordNumber() const override { return recordNumber_; }

  private:
    static bool sameIgnoringCase(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(a[i])) !=
                std::toupper(static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }
    int require(std::string_view field) const {
        const int index = fieldIndex(field);
        if (index < 0) throw std::logic_error("test record has no field " + std::string(field));
        return index;
    }

    std::vector<FieldSpec> fields_;
    std::vector<std::string> values_;
    std::map<int, std::string> memos_;
    bool deleted_ = false;
    uint32_t recordNumber_ = 1;
};

}  // namespace expressiontest
