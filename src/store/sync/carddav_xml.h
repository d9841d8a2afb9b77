#pragma once
// The XML of WebDAV and CardDAV (RFC 4918, 6352, 6578): the bodies of the requests sync
// sends, and the multi-status answers it reads.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace store::carddav {

inline const QString kDav = QStringLiteral("DAV:");
inline const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

// A property by namespace and local name, written "namespace|name" as a key.
QString qualified(const QString& space, const QString& name);

struct Property {
    QString text;          // its text, all of it, trimmed
    QStringList hrefs;     // the DAV:href elements inside it
    QStringList elements;  // every element inside it, qualified ("DAV:|collection")
};

struct Response {
    QString href;    // as the server wrote it (percent-encoded)
    int status = 0;  // of the response itself when it says one (a removal: 404), else 0
    QHash<QString, Property> properties;  // those whose propstat said 2xx, by qualified name

    const Property* property(const QString& space, const QString& name) const;
    bool has(const QString& space, const QString& name) const { return property(space, name); }
};

struct MultiStatus {
    std::vector<Response> responses;
    QString syncToken;  // of a sync-collection report
};

// Reads a 207 answer. Throws ProtocolError when the body is not a multistatus document.
MultiStatus parseMultiStatus(const QByteArray& body);

class ProtocolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using PropertyName = std::pair<QString, QString>;  // namespace, local name

QByteArray propfindBody(const std::vector<PropertyName>& properties);
QByteArray syncCollectionBody(const QString& syncToken);  // "" for everything
QByteArray multigetBody(const QStringList& hrefs);

}  // namespace store::carddav
