#include "address_module.h"

#include <exception>

#include <platform/prompter.h>

#include "address_rules.h"

namespace store {

QString EngineSettings::qtDateFormat() const {
    // The engine spells month and day in capitals; Qt wants "MM", "dd" and "yy".
    QString format = DateFormat;
    format.replace(QLatin1String("DD"), QLatin1String("dd"));
    format.replace(QLatin1String("YYYY"), QLatin1String("yyyy"));
    format.replace(QLatin1String("YY"), QLatin1String("yy"));
    return format;
}

QString EngineSettings::formatDate(const QDate& date) const {
    return date.isValid() ? date.toString(qtDateFormat()) : QString();
}

TDM::TDM(ProgramState& state, platform::Prompter& prompter, QObject* parent)
    : QObject(parent),
      search(state, tblAddress, tblFilter, prompter),
      state_(state),
      prompter_(prompter) {
    setObjectName(QStringLiteral("DM"));
    const QString table = QString::fromLatin1(kTableFileName);

    tblAddress.setObjectName(QStringLiteral("tblAddress"));
    tblAddress.setDatabaseName(AdsSettings1.DefaultFolder);
    tblAddress.setTableName(table);
    tblAddress.setIndexName(QStringLiteral("ADDRESS"));
    tblAddress.afterInsert = [this](data::DataSet& set) { tblAddressAfterInsert(set); };
    tblAddress.beforePost = [this](data::DataSet& set) { tblAddressBeforePost(set); };
    tblAddress.afterPost = [this](data::DataSet& set) { tblAddressAfterPost(set); };
    tblAddress.afterCancel = [this](data::DataSet& set) { tblAddressAfterCancel(set); };
    tblAddress.afterDelete = [this](data::DataSet& set) { tblAddressAfterDelete(set); };
    tblAddress.onFilterRecord = [this](data::DataSet& set) { return tblAddressFilterRecord(set); };

    tblFilter.setObjectName(QStringLiteral("tblFilter"));
    tblFilter.setDatabaseName(AdsSettings1.DefaultFolder);
    tblFilter.setTableName(table);
    tblFilter.setIndexName(QString::fromLatin1(kTagName));
    // Only read through, but not opened read-only: the cursors of a process share one
    // table, and a read-only first opener would leave tblAddress unable to write.

    tblClone.setObjectName(QStringLiteral("tblClone"));
    tblClone.setDatabaseName(AdsSettings1.DefaultFolder);
    tblClone.setTableName(table);
    tblClone.setIndexName(QStringLiteral("ADDRESS"));
    tblClone.setExclusive(true);

    dsAddress.setObjectName(QStringLiteral("dsAddress"));
    dsAddress.setDataSet(&tblAddress);
    dsAddress.setAutoEdit(false);
}

TDM::~TDM() {
    // The controls may outlive the module for a moment; let them see no data set.
    dsAddress.setDataSet(nullptr);
}

void TDM::setDataFolder(const QString& folder) {
    tblAddress.setDatabaseName(folder);
    tblFilter.setDatabaseName(tblAddress.databaseName());
    tblClone.setDatabaseName(tblAddress.databaseName());
}

QString TDM::dataFolder() const {
    return tblAddress.databaseName();
}

void TDM::returnFocus() {
    if (focusNameGrid) focusNameGrid();
}

bool TDM::nameExists(const std::string& name) {
    const bool wasOpen = tblFilter.active();
    if (!wasOpen) tblFilter.open();
    bool found = false;
    try {
        found = store::nameExists(tblFilter.cursor(), name);
    } catch (...) {
        if (!wasOpen) tblFilter.close();
        throw;
    }
    if (!wasOpen) tblFilter.close();
    return found;
}

void TDM::tblAddressAfterInsert(data::DataSet&) {
    ++state_.EntryCount;
    returnFocus();
}

void TDM::tblAddressBeforePost(data::DataSet& dataSet) {
    const bool inserting = dataSet.state() == data::DataSetState::Insert;
    // The name as the table holds it, in its code page (what the index compares).
    const std::string name =
        dataSet.fromUnicode(dataSet.fieldByName(QString::fromLatin1(kNameField)).asString());
    const std::string refusal = checkSave(
        inserting, name, [this](std::string_view n) { return nameExists(std::string(n)); });
    if (!refusal.empty()) {
        prompter_.error(dataSet.toUnicode(refusal));
        throw data::Abort{};
    }
    stampLastDate(dataSet.cursor());
}

void TDM::tblAddressAfterPost(data::DataSet&) {
    returnFocus();
}

void TDM::tblAddressAfterCancel(data::DataSet& dataSet) {
    if (dataSet.lastEditState() == data::DataSetState::Insert) --state_.EntryCount;
    returnFocus();
}

void TDM::tblAddressAfterDelete(data::DataSet&) {
    --state_.EntryCount;
    returnFocus();
}

bool TDM::tblAddressFilterRecord(data::DataSet& dataSet) {
    return search.accepts(dataSet);
}

void TDM::PackAddressTable() {
    tblAddress.disableControls();
    std::exception_ptr failure;
    try {
        tblAddress.close();
        tblAddress.setExclusive(true);
        tblAddress.open();
        tblAddress.cursor().pack();
    } catch (...) {
        failure = std::current_exception();
    }
    // Always afterwards: back to shared use, whatever happened above.
    try {
        tblAddress.close();
        tblAddress.setExclusive(false);
        tblAddress.open();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    tblAddress.enableControls();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace store
