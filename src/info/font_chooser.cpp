#include "font_chooser.h"

#include <QFontDialog>

namespace info {

std::optional<QFont> DesktopFontChooser::chooseFont(const QFont& initial, QWidget* parent) {
    bool confirmed = false;
    const QFont chosen = QFontDialog::getFont(&confirmed, initial, parent);
    if (!confirmed) return std::nullopt;
    return chosen;
}

}  // namespace info
