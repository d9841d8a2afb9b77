#include <store/address_module.h>

#include <data/table_work.h>
#include <platform/prompter.h>

#include <store/address_rules.h>

namespace store {

QString EngineSettings::qtDateFormat() const {
    // The engine spells month and day in capitals; Qt wants "MM", "dd" and "yy".
    QString format = dateFormat;
    format.replace(QLatin1String("DD"), QLatin1String("dd"));
    format.replace(QLatin1String("YYYY"), QLatin1String("yyyy"));
    format.replace(QLatin1String("YY"), QLatin1String("yy"));
    return format;
}

QString EngineSettings::formatDate(const QDate& date) const {
    return date.isValid() ? date.toString(qtDateFormat()) : QString();
}

AddressModule::AddressModule(ProgramState& state, platform::Prompter& prompter, QObject* parent)
    : QObject(parent),
      search(state, addressTable, lookupTable, prompter),
      state_(state),
      prompter_(prompter) {
    setObjectName(QStringLiteral("DM"));
    const QString table = QString::fromLatin1(kTableFileName);

    addressTable.setObjectName(QStringLiteral("tblAddress"));
    addressTable.setDatabaseName(engineSettings.defaultFolder);
    addressTable.setTableName(table);
    addressTable.setIndexName(QStringLiteral("ADDRESS"));
    addressTable.afterInsert = [this](data::DataSet& set) { afterEntryInserted(set); };
    addressTable.beforePost = [this](data::DataSet& set) { beforeEntrySaved(set); };
    addressTable.afterPost = [this](data::DataSet& set) { afterEntrySaved(set); };
    addressTable.afterCancel = [this](data::DataSet& set) { afterEntryCancelled(set); };
    addressTable.afterDelete = [this](data::DataSet& set) { afterEntryDeleted(set); };
    addressTable.onFilterRecord = [this](data::DataSet& set) { return entryPassesSearch(set); };

    lookupTable.setObjectName(QStringLiteral("tblFilter"));
    lookupTable.setDatabaseName(engineSettings.defaultFolder);
    lookupTable.setTableName(table);
    lookupTable.setIndexName(QString::fromLatin1(kTagName));
    // Only read through, but not opened read-only: the cursors of a process share one
    // table, and a read-only first opener would leave addressTable unable to write.

    reportTable.setObjectName(QStringLiteral("tblClone"));
    reportTable.setDatabaseName(engineSettings.defaultFolder);
    reportTable.setTableName(table);
    reportTable.setIndexName(QStringLiteral("ADDRESS"));
    reportTable.setExclusive(true);

    addressSource.setObjectName(QStringLiteral("dsAddress"));
    addressSource.setDataSet(&addressTable);
    addressSource.setAutoEdit(false);
}

AddressModule::~AddressModule() {
    // The controls may outlive the module for a moment; let them see no data set.
    addressSource.setDataSet(nullptr);
}

void AddressModule::setDataFolder(const QString& folder) {
    addressTable.setDatabaseName(folder);
    lookupTable.setDatabaseName(addressTable.databaseName());
    reportTable.setDatabaseName(addressTable.databaseName());
}

QString AddressModule::dataFolder() const {
    return addressTable.databaseName();
}

void AddressModule::returnFocus() {
    if (focusNameGrid) focusNameGrid();
}

bool AddressModule::nameExists(const std::string& name) {
    const bool wasOpen = lookupTable.active();
    if (!wasOpen) lookupTable.open();
    bool found = false;
    try {
        found = store::nameExists(lookupTable.cursor(), name);
    } catch (...) {
        if (!wasOpen) lookupTable.close();
        throw;
    }
    if (!wasOpen) lookupTable.close();
    return found;
}

void AddressModule::afterEntryInserted(data::DataSet&) {
    ++state_.entryCount;
    returnFocus();
}

void AddressModule::beforeEntrySaved(data::DataSet& dataSet) {
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

void AddressModule::afterEntrySaved(data::DataSet&) {
    returnFocus();
}

void AddressModule::afterEntryCancelled(data::DataSet& dataSet) {
    if (dataSet.lastEditState() == data::DataSetState::Insert) --state_.entryCount;
    returnFocus();
}

void AddressModule::afterEntryDeleted(data::DataSet&) {
    --state_.entryCount;
    returnFocus();
}

bool AddressModule::entryPassesSearch(data::DataSet& dataSet) {
    return search.accepts(dataSet);
}

void AddressModule::packAddressTable() {
    data::reopenSharedAfter(addressTable, [this] {
        addressTable.close();
        addressTable.setExclusive(true);
        addressTable.open();
        addressTable.cursor().pack();
    });
}

}  // namespace store
