#include "program.h"

#include <QGuiApplication>

#include <platform/prompter.h>

#include "startup.h"

namespace app {

void identifyApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("cardhold"));
    QGuiApplication::setDesktopFileName(QStringLiteral("cardhold"));
    platform::setApplicationTitle(QString::fromLatin1(kApplicationTitle));
}

Program::Program(Services services, StartupOptions options)
    : ZiDuv(services, std::move(options)),
      DM(ZiDuv.state, services.prompter),
      BtnBottomDlg(services.prompter, services.shell, services.clipboard, &ZiDuv) {
    ZiDuv.setDataModule(DM);
    ZiDuv.BtnBottomDlg = &BtnBottomDlg;
}

}  // namespace app
