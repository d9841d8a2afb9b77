#pragma once
// "Nothing cut off, nothing overlapping": checks a window's controls against the room
// their texts need in the fonts this machine draws them with, instead of pixel rectangles.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QWidget>

#include <string>
#include <vector>

#include <platform/form_style.h>

namespace testsupport {

// The next control the Tab key reaches after `from`.
inline QWidget* nextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled() ||
                            !next->isVisibleTo(from->window())))
        next = next->nextInFocusChain();
    return next;
}

inline std::string describe(const QWidget* widget) {
    const QString name =
        widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName();
    return name.toStdString();
}

// Shown controls whose text needs more room than they have, and shown siblings that cover
// each other. Each fault is one readable line; none means the window reads as designed.
inline std::vector<std::string> layoutFaults(QWidget& window) {
    std::vector<std::string> faults;
    // Controls placed by layouts are where they will be shown only once those have run.
    for (QWidget* widget : window.findChildren<QWidget*>())
        if (widget->layout() != nullptr) widget->layout()->activate();
    if (window.layout() != nullptr) window.layout()->activate();
    const auto shown = [&window](const QWidget* widget) { return widget->isVisibleTo(&window); };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!shown(widget)) continue;
        QSize needed;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (!label->text().isEmpty() && !label->wordWrap()) needed = label->sizeHint();
        } else if (const auto* push = qobject_cast<const QPushButton*>(widget)) {
            // Styles also give push buttons a least width for looks, which cuts nothing.
            if (!push->text().isEmpty()) needed = QSize(platform::pushButtonTextWidth(*push), 0);
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            if (!button->text().isEmpty()) needed = button->sizeHint();
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            if (!group->title().isEmpty()) needed = QSize(group->minimumSizeHint().width(), 0);
        }
        if (needed.isValid() && needed.width() > widget->width())
            faults.push_back(describe(widget) + " is cut: " + std::to_string(widget->width()) +
                             " wide, its text needs " + std::to_string(needed.width()));
    }
    QList<const QWidget*> parents = {&window};
    for (const QWidget* widget : window.findChildren<QWidget*>()) parents.push_back(widget);
    for (const QWidget* parent : parents) {
        if (parent != &window && !shown(parent)) continue;
        std::vector<const QWidget*> children;
        for (const QObject* child : parent->children())
            if (const auto* widget = qobject_cast<const QWidget*>(child);
                widget != nullptr && !widget->isWindow() && shown(widget))
                children.push_back(widget);
        for (std::size_t a = 0; a < children.size(); ++a)
            for (std::size_t b = a + 1; b < children.size(); ++b)
                // Frames that share an edge pixel cover nothing.
                if (const QRect both = children[a]->geometry() & children[b]->geometry();
                    both.width() > 1 && both.height() > 1)
                    faults.push_back(describe(children[a]) + " and " + describe(children[b]) +
                                     " overlap");
    }
    return faults;
}

}  // namespace testsupport
