#include <platform/form_widgets.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWidget>

// The pictures live in this static library; the linker keeps them only when asked.
static void loadFormIcons() {
    Q_INIT_RESOURCE(form_icons);
}

namespace platform {

void centreOnScreen(QWidget& window) {
    const QWidget* owner =
        window.parentWidget() != nullptr ? window.parentWidget()->window() : nullptr;
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame(QPoint(0, 0), window.size());
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

QLabel* plainLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(QString::fromLatin1(objectName));
    label->move(at);
    label->adjustSize();
    return label;
}

QPushButton* pushButton(QWidget* parent, const char* objectName, const QString& caption,
                        const QRect& place, const QIcon& icon) {
    auto* button = new QPushButton(icon, caption, parent);
    button->setObjectName(QString::fromLatin1(objectName));
    if (place.isValid()) button->setGeometry(place);
    return button;
}

QToolButton* toolButton(QWidget* parent, const char* objectName, const QIcon& icon, QSize iconSize,
                        const QString& hint, const QRect& place) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setIcon(icon);
    button->setIconSize(iconSize);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(place);
    return button;
}

void setTabStop(QWidget* widget, bool tabStop) {
    widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
}

QIcon formIcon(const QString& name, bool withDisabledLook) {
    static const bool loaded = (loadFormIcons(), true);
    (void)loaded;
    const QString base = QStringLiteral(":/icons/") + name;
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), QSize(), QIcon::Normal);
    icon.addFile(base + QStringLiteral("@2x.png"), QSize(), QIcon::Normal);
    if (withDisabledLook) {
        icon.addFile(base + QStringLiteral("-disabled.png"), QSize(), QIcon::Disabled);
        icon.addFile(base + QStringLiteral("-disabled@2x.png"), QSize(), QIcon::Disabled);
    }
    return icon;
}

}  // namespace platform
