#pragma once
// The memo's font and text colour, chosen in one dialog behind a seam, so that tests can
// answer it.

#include <QColor>
#include <QDialog>
#include <QFont>

#include <optional>

class QComboBox;
class QFontDialog;
class QWidget;

namespace info {

// What the Font button chooses: the face, style, size and effects, and the text colour.
struct FontChoice {
    QFont font;
    QColor colour;
};

class FontChooser {
  public:
    virtual ~FontChooser() = default;
    // Shows the dialog preset with `initial`; the choice the user confirmed, or nothing
    // when the dialog was cancelled.
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial, QWidget* parent) = 0;
};

// Qt's font dialog (no limits on the size) with the desktop's sixteen text colours
// beneath. It opens on the face the given font really resolves to ("Arial" is Liberation
// Sans on Linux) at its size in points; OK without a change gives the given font back
// exactly as it was.
class FontColourDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FontColourDialog(const FontChoice& initial, QWidget* parent = nullptr);

    FontChoice choice() const;

    QFontDialog* fontList;
    QComboBox* colourList;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showColourInSample();

    QFont initialFont_;
    QFont offeredFont_;  // the initial font as the font lists show it
};

class DesktopFontChooser : public FontChooser {
  public:
    std::optional<FontChoice> chooseFont(const FontChoice& initial, QWidget* parent) override;
};

}  // namespace info
