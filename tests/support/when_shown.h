#pragma once
// Acting on windows that come and go in the middle of a test: a modal loop's dialog, a
// pop-up menu, a box that takes the focus for a moment.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace testsupport {

// Runs `act` once on the window `find` answers, as soon as it is up and visible (typically
// from inside the modal loop or menu that shows it). Gives up after about ten seconds, so
// that a failing test ends instead of hanging.
class WhenShown {
  public:
    WhenShown(std::function<QWidget*()> find, std::function<void(QWidget&)> act)
        : find_(std::move(find)), act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool seen() const { return seen_; }

  private:
    void poll() {
        QWidget* window = find_();
        if (window == nullptr || !window->isVisible()) {
            if (++polls_ > 2000) timer_.stop();
            return;
        }
        timer_.stop();
        seen_ = true;
        act_(*window);
    }

    std::function<QWidget*()> find_;
    std::function<void(QWidget&)> act_;
    QTimer timer_;
    int polls_ = 0;
    bool seen_ = false;
};

inline QWidget* activeModalWindow() {
    return QApplication::activeModalWidget();
}
inline QWidget* activePopup() {
    return QApplication::activePopupWidget();
}

// A real box over the active window: up until it is the active window, then closed, and
// the window under it active again (as the window manager makes it). The focus leaves and
// comes back as it does around a message box.
inline void flashModalWindow() {
    QWidget* owner = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Information, QStringLiteral("A box"), QStringLiteral("A box"),
                    QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    box.activateWindow();
    (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == &box; });
    box.close();
    if (owner == nullptr) return;
    owner->activateWindow();
    (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == owner; });
}

}  // namespace testsupport
