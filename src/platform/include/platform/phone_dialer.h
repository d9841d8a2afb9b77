#pragma once
// Dialling: a tel: URI handed to whatever program the desktop has for tel: links.

#include <QString>

namespace platform {

class Prompter;
class Shell;

// Shown when the desktop has no program for tel: links.
inline constexpr char kNoDialerWarning[] =
    "Unable to dial the number.\r\nNo telephone dialer is set up for tel: links.";
// Shown when the desktop refused the number.
inline constexpr char kDialFailedWarning[] =
    "Unable to dial the number.\r\nMake sure no other devices are using the Com port.\r\n"
    "and Dialer.exe is installed in c:\\windows";

// "tel:" + the number, percent-encoded. Digits, letters, "+", the visual separators
// "-" "." "(" ")" and "*" stay as they are; blanks, "#", ";", "/" and the like are encoded.
QString telUri(const QString& number);

enum class HandlerPresence { Present, Absent, Unknown };

// Asks the desktop whether some program opens URLs of a scheme.
class SchemeHandlerLookup {
  public:
    virtual ~SchemeHandlerLookup() = default;
    virtual HandlerPresence handlerFor(const QString& scheme) = 0;
};

// Linux: `xdg-mime query default x-scheme-handler/<scheme>`, run without a shell and given
// `timeoutMs` to answer. When the tool is missing, fails or is slow, the answer is Unknown.
class DesktopSchemeHandlerLookup : public SchemeHandlerLookup {
  public:
    explicit DesktopSchemeHandlerLookup(QString program = QStringLiteral("xdg-mime"),
                                        int timeoutMs = 2000);
    HandlerPresence handlerFor(const QString& scheme) override;

  private:
    QString program_;
    int timeoutMs_;
};

class PhoneDialer {
  public:
    virtual ~PhoneDialer() = default;
    // Dials `number` for the called party; reports its own failures.
    virtual void dialNumber(const QString& number, const QString& calledParty) = 0;
};

class DesktopPhoneDialer : public PhoneDialer {
  public:
    DesktopPhoneDialer(Prompter& prompter, Shell& shell, SchemeHandlerLookup& handlers);

    // A tel: URI carries no name, so the called party only reaches the fakes of tests.
    void dialNumber(const QString& number, const QString& calledParty) override;

  private:
    Prompter& prompter_;
    Shell& shell_;
    SchemeHandlerLookup& handlers_;
};

}  // namespace platform
