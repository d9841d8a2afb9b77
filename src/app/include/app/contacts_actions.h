#pragma once
// Contacts in and out from the main window: the grid menu's "Import contacts…",
// "Export all…", "Export shown…" and "Export selected…", vCard and CSV files dropped on the
// window, and a vCard file named on the command line. The files themselves are read and
// written by the contacts library; this is the part the user sees: file dialogs, the
// question about an entry being edited, the import report.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class QMimeData;
class QWidget;

namespace data {
class DBGrid;
}
namespace platform {
class Prompter;
}
namespace playlist {
class StandardDialogs;
}
namespace store {
class AddressModule;
struct ImportReport;
}  // namespace store

namespace app {

struct ContactsContext {
    QWidget& window;
    store::AddressModule& dataModule;
    data::DBGrid& grid;
    platform::Prompter& prompter;
    playlist::StandardDialogs& dialogs;
    // Asks about an entry being edited, `before` naming what comes next ("importing"):
    // false when the user keeps editing or the save is refused.
    std::function<bool(const QString& before)> settleEditing;
    // Ends a search, so that the whole table shows again.
    std::function<void()> cancelSearch;
};

class ContactsActions : public QObject {
    Q_OBJECT
  public:
    explicit ContactsActions(ContactsContext context, QObject* parent = nullptr);

    // Adds the import and export items to the grid's menu.
    void addMenuItems(QMenu& menu);
    // Takes vCard and CSV files dropped on `area` (and the widgets it holds that do not take
    // drops themselves) and imports them.
    void acceptDropsOn(QWidget& area);

    // Asks for files and imports them.
    void chooseAndImport();
    // Imports the files into the address book on show, after settling an entry being
    // edited, and shows what came in: the grid on the first new entry, the report. False
    // when nothing was imported.
    bool importFiles(const QStringList& files);
    // The file a file manager opened the program with: imported after asking.
    void offerImport(const QString& file);

    enum class Scope { All, Shown, Selected };
    // Asks for a file name and writes the entries of `scope` to it: all of them, those the
    // search left, or the selected rows (the current entry when none is selected).
    void exportEntries(Scope scope);

    // The local vCard and CSV files among dropped data; none when anything else is there.
    static QStringList contactFiles(const QMimeData& data);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showImportReport(const store::ImportReport& report);
    void runGuarded(const std::function<void()>& work);

    ContactsContext context_;
    QString lastFolder_;  // where the last file dialog ended
};

}  // namespace app
