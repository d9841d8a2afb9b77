#include "program.h"

namespace app {

Program::Program(Services services, StartupOptions options)
    : ZiDuv(services, std::move(options)),
      DM(ZiDuv.state, services.prompter),
      BtnBottomDlg(services.prompter, services.shell, services.clipboard, &ZiDuv) {
    ZiDuv.setDataModule(DM);
    ZiDuv.BtnBottomDlg = &BtnBottomDlg;
}

}  // namespace app
