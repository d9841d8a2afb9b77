#pragma once
// The one error type of the table engine. Its text is what the user is shown.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace xbase {

enum class ErrorKind {
    NotFound,         // a file or a tag that is not there
    IoError,          // the operating system refused a read, write, create or rename
    Corruption,       // a file whose contents cannot be right
    Locked,           // another process holds the table or the record
    InvalidArgument,  // a call the engine cannot carry out as asked (bad field list, bad state)
    Expression,       // an expression that does not parse or cannot be evaluated
    NotSupported,     // a valid file feature this engine does not handle
};

// Error numbers, grouped by kind so that scripts can tell failures apart.
namespace code {
inline constexpr int FileNotFound = 1001;
inline constexpr int TagNotFound = 1002;
inline constexpr int FieldNotFound = 1003;
inline constexpr int OpenFailed = 2001;
inline constexpr int ReadFailed = 2002;
inline constexpr int WriteFailed = 2003;
inline constexpr int CreateFailed = 2004;
inline constexpr int RenameFailed = 2005;
inline constexpr int SyncFailed = 2006;
inline constexpr int SymbolicLink = 2007;  // refused for writing: never written through
inline constexpr int NotRegularFile = 2008;
inline constexpr int BadTableHeader = 3001;
inline constexpr int BadRecord = 3002;
inline constexpr int BadMemo = 3003;
inline constexpr int BadIndex = 3004;
inline constexpr int TableInUse = 4001;
inline constexpr int RecordLocked = 4002;
inline constexpr int HeaderLocked = 4003;
inline constexpr int BadFieldList = 5001;
inline constexpr int BadState = 5002;
inline constexpr int NoIndexSelected = 5003;
inline constexpr int NeedsExclusive = 5004;
inline constexpr int ReadOnly = 5005;
inline constexpr int ExpressionSyntax = 6001;
inline constexpr int ExpressionType = 6002;
inline constexpr int UnsupportedFeature = 7001;
}  // namespace code

class Error : public std::runtime_error {
  public:
    // `systemError`: the operating system's error number behind an IoError, 0 when none.
    Error(ErrorKind kind, int number, const std::string& message, int systemError = 0)
        : std::runtime_error(message), kind_(kind), number_(number), systemError_(systemError) {}

    ErrorKind kind() const noexcept { return kind_; }
    int number() const noexcept { return number_; }
    int systemError() const noexcept { return systemError_; }

  private:
    ErrorKind kind_;
    int number_;
    int systemError_;
};

}  // namespace xbase
