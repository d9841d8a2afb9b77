#pragma once
// The address data module: the three data sets on ADDRESS.DBF, the data source the main
// window's controls are bound to, the engine settings, and the hooks that guard every
// insert, save, cancel and delete of an entry.
//
// Nothing is opened here: the start-up sets the data folder and opens addressTable.

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

#include <data/dataset.h>
#include <data/datasource.h>

#include <store/search_filter.h>

namespace platform {
class Prompter;
}

namespace store {

// Program-wide state. The main window owns it (it exists before the data module does);
// the hooks here keep entryCount, and the search keeps searchText and nameOnlySearch.
struct ProgramState {
    bool firstShow = true;  // start-up on the first show has not completed yet
    QString searchText;     // the last accepted search text, a-z upper-cased
    qint32 entryCount = 0;  // non-deleted entries, counting an insertion in progress
    // Set by a name-only search, whose filter expression alone decides; cleared when the
    // user asks for the next search.
    bool nameOnlySearch = false;
};

// Engine settings applied as the module is created. Our engine always hides deleted
// records and runs in-process; the date format is what the program shows dates in.
struct EngineSettings {
    QString dateFormat = QStringLiteral("MM/DD/YY");
    int decimals = 2;
    bool showDeleted = false;
    bool localEngineOnly = true;
    int cachedTables = 0;
    int cachedCursors = 25;
    // Where tables created by bare name are placed; the start-up sets it.
    QString defaultFolder = QStringLiteral(".");

    // dateFormat as a QDate format string ("MM/dd/yy").
    QString qtDateFormat() const;
    // A date in the program's short date format; "" for a null date.
    QString formatDate(const QDate& date) const;
};

class AddressModule : public QObject {
    Q_OBJECT
  public:
    AddressModule(ProgramState& state, platform::Prompter& prompter, QObject* parent = nullptr);
    ~AddressModule() override;

    data::DataSet addressTable;  // what the user browses and edits
    data::DataSet lookupTable;   // read-only lookups: duplicate check, memo search
    data::DataSet reportTable;   // the report selection's own cursor (exclusive)
    data::DataSource addressSource;
    EngineSettings engineSettings;
    // The search on addressTable: Find and Cancel Filter, and its filter callback.
    SearchFilter search;

    // Sets the folder of addressTable, then of lookupTable and reportTable to the value
    // addressTable now holds. Only while they are closed.
    void setDataFolder(const QString& folder);
    QString dataFolder() const;

    // Where the hooks send the keyboard focus after an insert, save, cancel or delete:
    // the main window's name grid.
    std::function<void()> focusNameGrid;

    // Hooks of addressTable.
    void afterEntryInserted(data::DataSet& dataSet);
    // Duplicate check for a new entry, blank check, date stamp. A refusal shows its
    // error box and throws data::Abort, which leaves the entry in its editing state.
    void beforeEntrySaved(data::DataSet& dataSet);
    void afterEntrySaved(data::DataSet& dataSet);
    void afterEntryCancelled(data::DataSet& dataSet);
    void afterEntryDeleted(data::DataSet& dataSet);
    // Asked for each entry while addressTable is filtered: the search's test.
    bool entryPassesSearch(data::DataSet& dataSet);

    // Record count of addressTable as the start-up takes it into entryCount.
    qint32 entryCount() const { return state_.entryCount; }

    // Packs addressTable: deleted entries removed, index rebuilt. Whatever happens, the
    // table is afterwards open and shared again in its order, the first entry current,
    // and the bound controls follow it again; then a failure is rethrown. An edit in
    // progress is discarded, not saved.
    void packAddressTable();

    ProgramState& state() { return state_; }

  private:
    // Whether an entry with this name exists, by an exact seek on lookupTable, which is
    // left open or closed as it was found.
    bool nameExists(const std::string& name);
    void returnFocus();

    ProgramState& state_;
    platform::Prompter& prompter_;
};

}  // namespace store
