// Marigold Cardhold: an address book of names and free-form notes.
//
//   cardhold [folder] [contacts.vcf]
//   cardhold --help | --version
//
// The address table lives in the current folder, or in the folder named (made when
// missing; a relative name starts from the current folder). A vCard file named last is
// imported after asking; named alone, into the address book of the desktop entry,
// Cardhold in the home folder.

#include <QApplication>
#include <QDir>
#include <QToolTip>

#include <platform/clipboard.h>
#include <platform/form_style.h>
#include <platform/phone_dialer.h>
#include <platform/prompter.h>
#include <platform/shell.h>

#include <app/command_line.h>
#include <app/program.h>
#include <app/startup.h>

int main(int argc, char** argv) {
    if (const std::optional<int> exitCode = app::answerInformationRequest(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    app::identifyApplication();
    platform::installFonts();
    // Hints in the system's small sans serif.
    QToolTip::setFont(platform::pixelFont(QStringLiteral("MS Sans Serif"), 11));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    platform::DesktopPrompter prompter;
    platform::DesktopShell shell(prompter);
    platform::DesktopClipboard clipboard;
    platform::DesktopSchemeHandlerLookup dialerLookup;
    platform::DesktopPhoneDialer dialer(prompter, shell, dialerLookup);
    app::Program program({prompter, shell, clipboard, dialer}, {arguments, QDir::currentPath()});
    prompter.setParentWindow(&program.mainWindow);
    program.mainWindow.show();
    return QApplication::exec();
}
