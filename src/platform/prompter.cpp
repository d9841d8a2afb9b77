#include <platform/prompter.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace platform {

namespace {

bool accepts(Answer answer) {
    return answer == Answer::Ok || answer == Answer::Yes;
}

QMessageBox::Icon iconFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Plain:
            return QMessageBox::NoIcon;
        case MessageKind::Information:
            return QMessageBox::Information;
        case MessageKind::Warning:
            return QMessageBox::Warning;
        case MessageKind::Error:
            return QMessageBox::Critical;
        case MessageKind::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton buttonFor(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons buttonsFor(ButtonSet buttons) {
    switch (buttons) {
        case ButtonSet::Ok:
            return QMessageBox::Ok;
        case ButtonSet::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case ButtonSet::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case ButtonSet::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

Answer answerWithin(ButtonSet buttons, Answer answer) {
    switch (buttons) {
        case ButtonSet::Ok:
            return Answer::Ok;
        case ButtonSet::OkCancel:
            return accepts(answer) ? Answer::Ok : Answer::Cancel;
        case ButtonSet::YesNo:
            return accepts(answer) ? Answer::Yes : Answer::No;
        case ButtonSet::YesNoCancel:
            // Three ways out: Cancel (and Escape) stays apart from No.
            if (answer == Answer::Cancel) return Answer::Cancel;
            return accepts(answer) ? Answer::Yes : Answer::No;
    }
    return Answer::Ok;
}

Answer escapeAnswer(ButtonSet buttons) {
    return answerWithin(buttons, Answer::Cancel);
}

QString displayText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            shown += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        } else {
            shown += c;
        }
    }
    return shown;
}

void Prompter::message(const QString& text, const QString& caption) {
    prompt({MessageKind::Plain, text, ButtonSet::Ok, caption, Answer::Ok});
}

void Prompter::information(const QString& text, const QString& caption) {
    prompt({MessageKind::Information, text, ButtonSet::Ok, caption, Answer::Ok});
}

void Prompter::warning(const QString& text, const QString& caption) {
    prompt({MessageKind::Warning, text, ButtonSet::Ok, caption, Answer::Ok});
}

void Prompter::error(const QString& text, const QString& caption) {
    prompt({MessageKind::Error, text, ButtonSet::Ok, caption, Answer::Ok});
}

Answer Prompter::confirm(const QString& text, ButtonSet buttons, const QString& caption) {
    return prompt({MessageKind::Confirmation, text, buttons, caption, Answer::Ok});
}

namespace {
QString& titleStore() {
    static QString title;
    return title;
}
}  // namespace

void setApplicationTitle(const QString& title) {
    titleStore() = title;
}

QString applicationTitle() {
    return titleStore().isEmpty() ? QCoreApplication::applicationName() : titleStore();
}

DesktopPrompter::DesktopPrompter(QWidget* parentWindow) : parentWindow_(parentWindow) {}

void DesktopPrompter::setParentWindow(QWidget* parentWindow) {
    parentWindow_ = parentWindow;
}

Answer DesktopPrompter::prompt(const Prompt& prompt) {
    QWidget* parent = parentWindow_ ? parentWindow_.data() : QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(prompt.caption.isEmpty() ? applicationTitle() : prompt.caption);
    // Texts carry file names and memo items: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(prompt.text));
    box.setIcon(iconFor(prompt.kind));
    box.setStandardButtons(buttonsFor(prompt.buttons));
    box.setDefaultButton(buttonFor(answerWithin(prompt.buttons, prompt.defaultAnswer)));
    box.setEscapeButton(box.button(buttonFor(escapeAnswer(prompt.buttons))));
    box.exec();

    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return escapeAnswer(prompt.buttons);
    }
}

}  // namespace platform
