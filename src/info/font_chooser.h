#pragma once
// The font dialog behind a seam, so that tests can answer it.

#include <QFont>

#include <optional>

class QWidget;

namespace info {

class FontChooser {
  public:
    virtual ~FontChooser() = default;
    // Shows the font dialog preset with `initial`; the font the user confirmed, or
    // nothing when the dialog was cancelled.
    virtual std::optional<QFont> chooseFont(const QFont& initial, QWidget* parent) = 0;
};

// Qt's font dialog, with no limits on the size.
class DesktopFontChooser : public FontChooser {
  public:
    std::optional<QFont> chooseFont(const QFont& initial, QWidget* parent) override;
};

}  // namespace info
