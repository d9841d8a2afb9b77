#include <platform/clipboard.h>

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

void DesktopClipboard::setText(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

QString DesktopClipboard::text() const {
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

}  // namespace platform
