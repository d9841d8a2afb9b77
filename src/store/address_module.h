#pragma once
// The address data module: the three data sets on ADDRESS.DBF, the data source the main
// window's controls are bound to, the engine settings, and the hooks that guard every
// insert, save, cancel and delete of an entry.
//
// Nothing is opened here: the start-up sets the data folder and opens tblAddress.

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>

#include <data/dataset.h>
#include <data/datasource.h>

#include "search_filter.h"

namespace platform {
class Prompter;
}

namespace store {

// Program-wide state. The main window owns it (it exists before the data module does);
// the hooks here keep EntryCount, and the search reads SearchText and Tag.
struct ProgramState {
    bool FirstShow = true;  // start-up on the first show has not completed yet
    QString SearchText;     // the last accepted search text, a-z upper-cased
    qint32 EntryCount = 0;  // non-deleted entries, counting an insertion in progress
    // The main window's Tag: 66 during a name-only search; the report's selection kind.
    int Tag = 0;
};

// Engine settings applied as the module is created. Our engine always hides deleted
// records and runs in-process; the date format is what the program shows dates in.
struct EngineSettings {
    QString DateFormat = QStringLiteral("MM/DD/YY");
    int Decimals = 2;
    bool ShowDeleted = false;
    bool LocalEngineOnly = true;
    int NumCachedTables = 0;
    int NumCachedCursors = 25;
    // Where tables created by bare name are placed; the start-up sets it.
    QString DefaultFolder = QStringLiteral(".");

    // DateFormat as a QDate format string ("MM/dd/yy").
    QString qtDateFormat() const;
    // A date in the program's short date format; "" for a null date.
    QString formatDate(const QDate& date) const;
};

class TDM : public QObject {
    Q_OBJECT
  public:
    TDM(ProgramState& state, platform::Prompter& prompter, QObject* parent = nullptr);
    ~TDM() override;

    data::DataSet tblAddress;  // what the user browses and edits
    data::DataSet tblFilter;   // read-only lookups: duplicate check, memo search
    data::DataSet tblClone;    // the report selection's own cursor (exclusive)
    data::DataSource dsAddress;
    EngineSettings AdsSettings1;
    // The report's include-memo marker (0 or 86).
    int Tag = 0;
    // The search on tblAddress: Find and Cancel Filter, and its filter callback.
    SearchFilter search;

    // Sets the folder of tblAddress, then of tblFilter and tblClone to the value
    // tblAddress now holds. Only while they are closed.
    void setDataFolder(const QString& folder);
    QString dataFolder() const;

    // Where the hooks send the keyboard focus after an insert, save, cancel or delete:
    // the main window's name grid.
    std::function<void()> focusNameGrid;

    // Hooks of tblAddress.
    void tblAddressAfterInsert(data::DataSet& dataSet);
    // Duplicate check for a new entry, blank check, date stamp. A refusal shows its
    // error box and throws data::Abort, which leaves the entry in its editing state.
    void tblAddressBeforePost(data::DataSet& dataSet);
    void tblAddressAfterPost(data::DataSet& dataSet);
    void tblAddressAfterCancel(data::DataSet& dataSet);
    void tblAddressAfterDelete(data::DataSet& dataSet);
    // Asked for each entry while tblAddress is filtered: the search's test.
    bool tblAddressFilterRecord(data::DataSet& dataSet);

    // Record count of tblAddress as the start-up takes it into EntryCount.
    qint32 EntryCount() const { return state_.EntryCount; }

    // Packs tblAddress: deleted entries removed, index rebuilt. Whatever happens, the
    // table is afterwards open and shared again in its order, the first entry current,
    // and the bound controls follow it again; then a failure is rethrown. An edit in
    // progress is discarded, not saved.
    void PackAddressTable();

    ProgramState& state() { return state_; }

  private:
    // Whether an entry with this name exists, by an exact seek on tblFilter, which is
    // left open or closed as it was found.
    bool nameExists(const std::string& name);
    void returnFocus();

    ProgramState& state_;
    platform::Prompter& prompter_;
};

}  // namespace store
