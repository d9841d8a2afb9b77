#include <app/program.h>

#include <QGuiApplication>

#include <platform/prompter.h>

#include <app/startup.h>

namespace app {

void identifyApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("cardhold"));
    QGuiApplication::setDesktopFileName(QStringLiteral("cardhold"));
    platform::setApplicationTitle(QString::fromLatin1(kApplicationTitle));
}

Program::Program(Services services, StartupOptions options)
    : mainWindow(services, std::move(options)),
      addressModule(mainWindow.state, services.prompter),
      itemChooser(services.prompter, services.shell, services.clipboard, &mainWindow) {
    mainWindow.setDataModule(addressModule);
    mainWindow.itemChooser = &itemChooser;
}

}  // namespace app
