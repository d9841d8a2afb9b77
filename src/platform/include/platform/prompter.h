#pragma once
// Every message box of the program goes through a Prompter, so that tests can read each
// text and answer each question without a modal window.

#include <QPointer>
#include <QString>

class QWidget;

namespace platform {

// The icon a box carries. Confirmation boxes show the question icon.
enum class MessageKind { Plain, Information, Warning, Error, Confirmation };

enum class ButtonSet { Ok, OkCancel, YesNo, YesNoCancel };

enum class Answer { Ok, Cancel, Yes, No };

struct Prompt {
    MessageKind kind = MessageKind::Plain;
    QString text;  // a CR, CR LF or LF starts a new line
    ButtonSet buttons = ButtonSet::Ok;
    QString caption;  // empty: the application title
    Answer defaultAnswer = Answer::Ok;
};

// The button of `buttons` that plays the role of `answer`: Ok and Yes accept, Cancel and No
// refuse. A box with only OK answers OK whatever is asked.
Answer answerWithin(ButtonSet buttons, Answer answer);

// The answer of a box closed without a button (Esc, the close box).
Answer escapeAnswer(ButtonSet buttons);

// The text as a box shows it: every CR LF, lone CR and lone LF becomes one line break.
QString displayText(const QString& text);

class Prompter {
  public:
    virtual ~Prompter() = default;

    // Shows the box modally and returns the button pressed.
    virtual Answer prompt(const Prompt& prompt) = 0;

    void message(const QString& text, const QString& caption = {});
    void information(const QString& text, const QString& caption = {});
    void warning(const QString& text, const QString& caption = {});
    void error(const QString& text, const QString& caption = {});
    // Question icon with OK/Cancel or Yes/No; the first button is the default.
    Answer confirm(const QString& text, ButtonSet buttons = ButtonSet::OkCancel,
                   const QString& caption = {});
};

// The program's title: the caption of every box that names none. Qt's application display
// name stays unset, since the desktop would append it to every window's own title.
void setApplicationTitle(const QString& title);
// The title set, or Qt's application name while none is.
QString applicationTitle();

// Message boxes on the desktop, owned by the given window (or the active one).
class DesktopPrompter : public Prompter {
  public:
    explicit DesktopPrompter(QWidget* parentWindow = nullptr);
    void setParentWindow(QWidget* parentWindow);

    Answer prompt(const Prompt& prompt) override;

  private:
    QPointer<QWidget> parentWindow_;
};

}  // namespace platform
