#pragma once
// Answers the item chooser from inside its modal loop: once the dialog is up (and, when
// asked, once a condition holds) the answer runs, typically clicking OK or Cancel.

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <utility>

#include <links/item_chooser.h>

namespace linktest {

class ChooserDriver {
  public:
    using Answer = std::function<void(links::ItemChooser&)>;
    using Ready = std::function<bool(links::ItemChooser&)>;

    ChooserDriver(links::ItemChooser& dialog, Answer answer, Ready ready = {})
        : dialog_(dialog), answer_(std::move(answer)), ready_(std::move(ready)) {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    // Whether the dialog was shown and answered.
    bool answered() const { return answered_; }
    // Whether the readiness condition held when the answer ran.
    bool wasReady() const { return wasReady_; }

  private:
    void poll() {
        if (!dialog_.isVisible()) return;
        ++polls_;
        const bool ready = !ready_ || ready_(dialog_);
        // Give up waiting after a while, so a failing test closes the dialog instead of hanging.
        if (!ready && polls_ < 1000) return;
        timer_.stop();
        wasReady_ = ready;
        answered_ = true;
        answer_(dialog_);
    }

    links::ItemChooser& dialog_;
    Answer answer_;
    Ready ready_;
    QTimer timer_;
    int polls_ = 0;
    bool answered_ = false;
    bool wasReady_ = false;
};

inline ChooserDriver::Answer typeAndOk(const QString& text) {
    return [text](links::ItemChooser& dialog) {
        if (dialog.answerEdit->isVisible()) {
            dialog.answerEdit->setText(text);
        } else {
            dialog.itemCombo->setEditText(text);
        }
        dialog.okButton->click();
    };
}

inline ChooserDriver::Answer pressOk() {
    return [](links::ItemChooser& dialog) { dialog.okButton->click(); };
}

inline ChooserDriver::Answer pressCancel() {
    return [](links::ItemChooser& dialog) { dialog.cancelButton->click(); };
}

inline ChooserDriver::Answer pressEscape() {
    return [](links::ItemChooser& dialog) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &press);
    };
}

}  // namespace linktest
