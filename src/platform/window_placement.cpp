#include <platform/window_placement.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace platform {
namespace {

// The user's settings of the program: ~/.config/cardhold/cardhold.conf on Linux.
const QString kSettingsName = QStringLiteral("cardhold");

}  // namespace

QRect fitOnScreen(const QRect& saved, const QSize& minimum, const QRect& available) {
    const int width = std::max(minimum.width(), std::min(saved.width(), available.width()));
    const int height = std::max(minimum.height(), std::min(saved.height(), available.height()));
    // Keep the top left corner on screen first: that is where the title bar is.
    const int left =
        std::max(available.left(), std::min(saved.left(), available.right() + 1 - width));
    const int top =
        std::max(available.top(), std::min(saved.top(), available.bottom() + 1 - height));
    return {left, top, width, height};
}

void restorePlacement(QWidget& window, const QString& name) {
    QSettings settings(kSettingsName, kSettingsName);
    settings.beginGroup(name);
    const QPoint position = settings.value(QStringLiteral("position")).toPoint();
    const QSize size = settings.value(QStringLiteral("size")).toSize();
    const bool maximised = settings.value(QStringLiteral("maximised"), false).toBool();
    if (!size.isValid()) return;
    QRect wanted(position, size);
    const QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect fitted = fitOnScreen(wanted, window.minimumSize(), screen->availableGeometry());
    window.setGeometry(fitted);
    if (maximised) window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void savePlacement(const QWidget& window, const QString& name) {
    const bool maximised = window.isMaximized();
    const QRect normal = maximised ? window.normalGeometry() : window.geometry();
    QSettings settings(kSettingsName, kSettingsName);
    settings.beginGroup(name);
    settings.setValue(QStringLiteral("position"), normal.topLeft());
    settings.setValue(QStringLiteral("size"), normal.size());
    settings.setValue(QStringLiteral("maximised"), maximised);
}

}  // namespace platform
