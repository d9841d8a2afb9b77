#include "sync_state.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

#include <platform/regular_file.h>

#include "whole_file.h"

namespace store::sync {
namespace {

constexpr const char* kFormat = "cardhold-sync 1";
constexpr std::size_t kLargestState = 512u << 20;  // far beyond any address book's links

QString hex(Fingerprint value) {
    return QString::number(value, 16).rightJustified(16, u'0');
}

Fingerprint fromHex(const QJsonValue& value, bool& ok) {
    bool converted = false;
    const Fingerprint result = value.toString().toULongLong(&converted, 16);
    ok = ok && converted;
    return result;
}

}  // namespace

Fingerprint fingerprint(std::string_view bytes) {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                 QCryptographicHash::Sha256);
    Fingerprint value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | static_cast<unsigned char>(digest[i]);
    return value;
}

std::filesystem::path statePath(const std::filesystem::path& folder) {
    return folder / "ADDRESS.sync";
}

std::optional<State> readState(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return std::nullopt;
    std::string bytes;
    try {
        bytes = platform::readRegularFile(path, kLargestState);
    } catch (const platform::RegularFileError& e) {
        throw std::runtime_error(std::string("the sync state cannot be read: ") + e.what());
    }
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &parseError);
    const QJsonObject root = document.object();
    if (parseError.error != QJsonParseError::NoError || root.value("format").toString() != kFormat)
        throw std::runtime_error("the sync state " + path.filename().string() + " is damaged");
    State state;
    state.addressBook = root.value("addressBook").toString();
    state.syncToken = root.value("syncToken").toString();
    state.tableIdentity = root.value("tableIdentity").toString().toStdString();
    state.tableRecords = static_cast<uint32_t>(root.value("tableRecords").toInteger());
    bool ok = true;
    for (const QJsonValue& value : root.value("links").toArray()) {
        const QJsonObject object = value.toObject();
        Link link;
        link.record = static_cast<uint32_t>(object.value("record").toInteger());
        link.href = object.value("href").toString();
        link.etag = object.value("etag").toString().toUtf8();
        link.name = fromHex(object.value("name"), ok);
        link.memo = fromHex(object.value("memo"), ok);
        link.serverName = fromHex(object.value("serverName"), ok);
        link.serverMemo = fromHex(object.value("serverMemo"), ok);
        if (link.href.isEmpty()) ok = false;
        state.links.push_back(std::move(link));
    }
    if (!ok) throw std::runtime_error("the sync state " + path.filename().string() + " is damaged");
    return state;
}

void writeState(const std::filesystem::path& path, const State& state) {
    QJsonArray links;
    for (const Link& link : state.links)
        links.append(QJsonObject{{"record", qint64(link.record)},
                                 {"href", link.href},
                                 {"etag", QString::fromUtf8(link.etag)},
                                 {"name", hex(link.name)},
                                 {"memo", hex(link.memo)},
                                 {"serverName", hex(link.serverName)},
                                 {"serverMemo", hex(link.serverMemo)}});
    const QJsonObject root{{"format", kFormat},
                           {"addressBook", state.addressBook},
                           {"syncToken", state.syncToken},
                           {"tableIdentity", QString::fromStdString(state.tableIdentity)},
                           {"tableRecords", qint64(state.tableRecords)},
                           {"links", links}};
    writeWholeFile(path, QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString(),
                   ".sync-");
}

}  // namespace store::sync
