#pragma once
// The address table: its files, schema and index, and the rules every save obeys.
// Plain C++ over the table engine, shared by the program and by cardhold-db.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <xbase/cursor.h>

namespace store {

inline constexpr const char* kTableFileName = "ADDRESS.DBF";
inline constexpr const char* kMemoFileName = "ADDRESS.fpt";
inline constexpr const char* kIndexFileName = "ADDRESS.CDX";
inline constexpr const char* kFieldList = "Name,Char,30;Info,Memo;LastDate,Date;";
inline constexpr const char* kTagName = "Address";  // created so; selected as "ADDRESS"
inline constexpr const char* kKeyExpression = "upper(Name)";
inline constexpr const char* kNameField = "NAME";
inline constexpr const char* kInfoField = "INFO";
inline constexpr const char* kLastDateField = "LASTDATE";
inline constexpr int kNameWidth = 30;

inline constexpr const char* kDuplicateMessage = "Entry already exists for: ";
inline constexpr const char* kBlankNameMessage = "Name is the key field, it must NOT be blank";

// a-z to A-Z; every other byte unchanged.
std::string upperAscii(std::string_view text);

// True when the name holds nothing but blanks and control characters.
bool isBlankName(std::string_view name);

// Whether an entry with this name (compared in upper case, trailing blanks ignored)
// exists, found by an exact seek on `lookup`, a cursor on the address table whose
// selected index is ADDRESS.
bool nameExists(xbase::Cursor& lookup, std::string_view name);

// The checks before a save, in their order: the duplicate check for a new entry (its
// result given by `exists`, asked only then), then the blank check. Returns the message
// that refuses the save, or "" when the save may go ahead.
std::string checkSave(bool inserting, std::string_view name,
                      const std::function<bool(std::string_view)>& exists);

// Stamps LASTDATE of the record being edited with today's date.
void stampLastDate(xbase::Cursor& table);

// A save refused by the rules above; what() is the message the user sees.
class RuleViolation : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace store
