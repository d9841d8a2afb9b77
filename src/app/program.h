#pragma once
// The program's long-lived objects, created in their order: the main window, the data
// module, the item chooser. They live until the program ends.

#include <QDialog>

#include "ZiDuvDM.h"
#include "ZiDuvF.h"

namespace app {

// Names the fonts the forms ask for that Linux lacks to their metric-compatible ones.
void installFontSubstitutions();

class Program {
  public:
    Program(Services services, StartupOptions options);

    TZiDuv ZiDuv;
    store::TDM DM;
    // The item chooser's place: a plain hidden dialog until the chooser itself arrives.
    QDialog BtnBottomDlg;
};

}  // namespace app
