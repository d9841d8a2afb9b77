#pragma once
// The program's long-lived objects, created in their order: the main window, the data
// module, the item chooser. They live until the program ends.

#include <app/main_window.h>
#include <links/item_chooser.h>
#include <store/address_module.h>

namespace app {

// Names the program to the desktop (its name, the desktop entry) and gives message boxes
// the program's title, leaving every window's own title as it is set.
void identifyApplication();

class Program {
  public:
    Program(Services services, StartupOptions options);

    MainWindow mainWindow;
    store::AddressModule addressModule;
    // The item chooser, made once and reused by every link action.
    links::ItemChooser itemChooser;
};

}  // namespace app
