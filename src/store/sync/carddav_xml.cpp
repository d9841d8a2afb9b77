#include "carddav_xml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace store::carddav {
namespace {

// "HTTP/1.1 404 Not Found" → 404; 0 when it is no status line.
int statusCode(const QString& line) {
    const QStringList parts = line.simplified().split(u' ');
    return parts.size() >= 2 ? parts[1].toInt() : 0;
}

bool isDav(const QXmlStreamReader& xml, const char* name) {
    return xml.namespaceUri() == kDav && xml.name() == QLatin1String(name);
}

class Writer {
  public:
    explicit Writer(const QString& root, const QString& rootSpace) : xml_(&body_) {
        xml_.writeStartDocument();
        xml_.writeNamespace(kDav, QStringLiteral("d"));
        xml_.writeNamespace(kCardDav, QStringLiteral("card"));
        xml_.writeStartElement(rootSpace, root);
    }
    QXmlStreamWriter& xml() { return xml_; }
    QByteArray finish() {
        xml_.writeEndDocument();
        return body_;
    }

  private:
    QByteArray body_;
    QXmlStreamWriter xml_;
};

// Reads one DAV:prop element into `into`; the reader stands on its start.
void readProperties(QXmlStreamReader& xml, QHash<QString, Property>& into) {
    while (xml.readNextStartElement()) {
        Property property;
        const QString key = qualified(xml.namespaceUri().toString(), xml.name().toString());
        int depth = 1;
        bool inHref = false;
        while (depth > 0 && !xml.atEnd()) {
            switch (xml.readNext()) {
                case QXmlStreamReader::StartElement:
                    ++depth;
                    property.elements
                        << qualified(xml.namespaceUri().toString(), xml.name().toString());
                    inHref = isDav(xml, "href");
                    if (inHref) property.hrefs << QString();
                    break;
                case QXmlStreamReader::EndElement:
                    --depth;
                    inHref = false;
                    break;
                case QXmlStreamReader::Characters:
                    property.text += xml.text();
                    if (inHref) property.hrefs.last() += xml.text().trimmed();
                    break;
                default:
                    break;
            }
        }
        property.text = property.text.trimmed();
        into.insert(key, property);
    }
}

void readPropstat(QXmlStreamReader& xml, Response& response) {
    QHash<QString, Property> properties;
    int status = 0;
    while (xml.readNextStartElement()) {
        if (isDav(xml, "prop"))
            readProperties(xml, properties);
        else if (isDav(xml, "status"))
            status = statusCode(xml.readElementText());
        else
            xml.skipCurrentElement();
    }
    if (status >= 200 && status < 300) response.properties.insert(properties);
}

Response readResponse(QXmlStreamReader& xml) {
    Response response;
    while (xml.readNextStartElement()) {
        if (isDav(xml, "href"))
            response.href = xml.readElementText().trimmed();
        else if (isDav(xml, "status"))
            response.status = statusCode(xml.readElementText());
        else if (isDav(xml, "propstat"))
            readPropstat(xml, response);
        else
            xml.skipCurrentElement();
    }
    return response;
}

}  // namespace

QString qualified(const QString& space, const QString& name) {
    return space + u'|' + name;
}

const Property* Response::property(const QString& space, const QString& name) const {
    const auto found = properties.constFind(qualified(space, name));
    return found == properties.constEnd() ? nullptr : &found.value();
}

MultiStatus parseMultiStatus(const QByteArray& body) {
    QXmlStreamReader xml(body);
    MultiStatus result;
    if (!xml.readNextStartElement() || !isDav(xml, "multistatus"))
        throw ProtocolError("the server's answer is not a WebDAV multi-status document");
    while (xml.readNextStartElement()) {
        if (isDav(xml, "response"))
            result.responses.push_back(readResponse(xml));
        else if (isDav(xml, "sync-token"))
            result.syncToken = xml.readElementText().trimmed();
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        throw ProtocolError("the server's answer is damaged XML: " +
                            xml.errorString().toStdString());
    return result;
}

QByteArray propfindBody(const std::vector<PropertyName>& properties) {
    Writer writer(QStringLiteral("propfind"), kDav);
    writer.xml().writeStartElement(kDav, QStringLiteral("prop"));
    for (const auto& [space, name] : properties) writer.xml().writeEmptyElement(space, name);
    return writer.finish();
}

QByteArray syncCollectionBody(const QString& syncToken) {
    Writer writer(QStringLiteral("sync-collection"), kDav);
    writer.xml().writeTextElement(kDav, QStringLiteral("sync-token"), syncToken);
    writer.xml().writeTextElement(kDav, QStringLiteral("sync-level"), QStringLiteral("1"));
    writer.xml().writeStartElement(kDav, QStringLiteral("prop"));
    writer.xml().writeEmptyElement(kDav, QStringLiteral("getetag"));
    return writer.finish();
}

QByteArray multigetBody(const QStringList& hrefs) {
    Writer writer(QStringLiteral("addressbook-multiget"), kCardDav);
    writer.xml().writeStartElement(kDav, QStringLiteral("prop"));
    writer.xml().writeEmptyElement(kDav, QStringLiteral("getetag"));
    writer.xml().writeEmptyElement(kCardDav, QStringLiteral("address-data"));
    writer.xml().writeEndElement();
    for (const QString& href : hrefs)
        writer.xml().writeTextElement(kDav, QStringLiteral("href"), href);
    return writer.finish();
}

}  // namespace store::carddav
