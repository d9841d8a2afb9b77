#pragma once
// The one error type of the report engine. Its text is what the user sees.

#include <QString>

#include <stdexcept>

namespace reports {

class ReportError : public std::runtime_error {
  public:
    explicit ReportError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    const QString& message() const { return message_; }

  private:
    QString message_;
};

}  // namespace reports
