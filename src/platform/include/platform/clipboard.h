#pragma once
// The clipboard, plain text only.

#include <QString>

namespace platform {

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
};

class DesktopClipboard : public Clipboard {
  public:
    void setText(const QString& text) override;
    QString text() const override;
};

}  // namespace platform
