#include "program.h"

#include <QFont>
#include <QGuiApplication>

#include <platform/prompter.h>

#include "startup.h"

namespace app {

void identifyApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("cardhold"));
    QGuiApplication::setDesktopFileName(QStringLiteral("cardhold"));
    platform::setApplicationTitle(QString::fromLatin1(kApplicationTitle));
}

void installFontSubstitutions() {
    // Arial and Courier New reach Liberation Sans and Mono through fontconfig; MS Sans
    // Serif would fall to a much wider face.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

Program::Program(Services services, StartupOptions options)
    : ZiDuv(services, std::move(options)),
      DM(ZiDuv.state, services.prompter),
      BtnBottomDlg(services.prompter, services.shell, services.clipboard, &ZiDuv) {
    ZiDuv.setDataModule(DM);
    ZiDuv.BtnBottomDlg = &BtnBottomDlg;
}

}  // namespace app
