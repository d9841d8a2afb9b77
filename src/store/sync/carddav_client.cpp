#include "carddav_client.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>

#include "carddav_xml.h"

namespace store::carddav {
namespace {

constexpr int kMostRedirects = 5;
// No byte for this long: the server is gone. Generous: a busy server may think minutes
// before the first byte of the listing of a large address book (Radicale does).
constexpr int kTransferTimeoutMs = 300'000;
// The largest answer read: a multiget batch of cards with photos stays well below.
constexpr qint64 kLargestAnswer = 256ll << 20;
constexpr int kMultigetBatch = 100;

const QByteArray kXml = "application/xml; charset=utf-8";

std::vector<PropertyName> discoveryProperties() {
    return {{kDav, QStringLiteral("resourcetype")},
            {kDav, QStringLiteral("current-user-principal")},
            {kCardDav, QStringLiteral("addressbook-home-set")},
            {kDav, QStringLiteral("supported-report-set")}};
}

bool isAddressBook(const Response& response) {
    const Property* type = response.property(kDav, QStringLiteral("resourcetype"));
    return type && type->elements.contains(qualified(kCardDav, QStringLiteral("addressbook")));
}

bool isCollection(const Response& response) {
    const Property* type = response.property(kDav, QStringLiteral("resourcetype"));
    return type && !type->elements.isEmpty();
}

bool offersSync(const Response& response) {
    const Property* reports = response.property(kDav, QStringLiteral("supported-report-set"));
    return reports &&
           reports->elements.contains(qualified(kDav, QStringLiteral("sync-collection")));
}

QString firstHref(const Response& response, const QString& space, const QString& name) {
    const Property* property = response.property(space, name);
    return property && !property->hrefs.isEmpty() ? property->hrefs.front() : QString();
}

bool sameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == QLatin1String("https") ? 443 : 80) ==
               b.port(b.scheme() == QLatin1String("https") ? 443 : 80);
}

QUrl asFolder(QUrl url) {
    if (!url.path().endsWith(u'/')) url.setPath(url.path() + u'/');
    return url;
}

MultiStatus multiStatus(const Reply& reply, const std::string& where) {
    try {
        return parseMultiStatus(reply.body);
    } catch (const ProtocolError& error) {
        throw Failure(Failure::Kind::Protocol, where + ": " + error.what());
    }
}

}  // namespace

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

Client::Client(Account account, const std::atomic<bool>* cancel)
    : account_(std::move(account)),
      cancel_(cancel),
      network_(std::make_unique<QNetworkAccessManager>()) {
    // Said without the address: it holds the password.
    if (!account_.server.userInfo().isEmpty())
        throw Failure(Failure::Kind::Refused,
                      "The server address must not hold a user name or password; give the user "
                      "name on its own.");
    if (!account_.server.isValid() || account_.server.host().isEmpty())
        throw Failure(Failure::Kind::Refused, "\"" + account_.server.toString().toStdString() +
                                                  "\" is not a server address.");
    if (account_.server.path().isEmpty()) account_.server.setPath(QStringLiteral("/"));
    requireAllowed(account_.server);
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

Client::~Client() = default;

std::string Client::where(const QUrl& url) const {
    return url.toDisplayString(QUrl::RemoveUserInfo).toStdString();
}

void Client::requireAllowed(const QUrl& url) const {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) return;
    if (scheme != QLatin1String("http"))
        throw Failure(Failure::Kind::Refused,
                      "Only https:// addresses (and http:// ones on this "
                      "machine) can be synced with, not " +
                          where(url));
    if (isLoopback(url)) return;
    if (account_.plainHttpConfirmed && sameOrigin(url, account_.server)) return;
    throw Failure(Failure::Kind::Refused,
                  "Plain http:// would send the password and the cards to " +
                      url.host().toStdString() +
                      " unencrypted. Use https://, or confirm plain http for this server.");
}

Reply Client::send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                   const std::vector<std::pair<QByteArray, QByteArray>>& headers,
                   bool followRedirects) {
    const QByteArray credentials =
        "Basic " + (account_.user + u':' + account_.password).toUtf8().toBase64();
    QUrl current = url;
    for (int hop = 0;; ++hop) {
        requireAllowed(current);
        if (cancel_ && cancel_->load())
            throw Failure(Failure::Kind::Cancelled, "The sync was cancelled.");
        QNetworkRequest request(current);
        request.setTransferTimeout(kTransferTimeoutMs);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setRawHeader("Authorization", credentials);
        request.setRawHeader("User-Agent", "Cardhold");
        if (!body.isEmpty()) request.setHeader(QNetworkRequest::ContentTypeHeader, kXml);
        for (const auto& [name, value] : headers) request.setRawHeader(name, value);

        std::unique_ptr<QNetworkReply, void (*)(QNetworkReply*)> reply(
            network_->sendCustomRequest(request, verb, body),
            [](QNetworkReply* r) { r->deleteLater(); });
        bool cancelled = false, tooLarge = false;
        QList<QSslError> sslErrors;
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::sslErrors,
                         [&sslErrors](const QList<QSslError>& errors) { sslErrors = errors; });
        QObject::connect(reply.get(), &QNetworkReply::downloadProgress,
                         [&tooLarge, &reply](qint64 received, qint64) {
                             if (received <= kLargestAnswer || tooLarge) return;
                             tooLarge = true;
                             reply->abort();
                         });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this, &cancelled, &reply] {
            if (!cancel_ || !cancel_->load() || cancelled) return;
            cancelled = true;
            reply->abort();
        });
        poll.start(50);
        if (!reply->isFinished()) loop.exec();
        poll.stop();

        if (cancelled) throw Failure(Failure::Kind::Cancelled, "The sync was cancelled.");
        if (tooLarge)
            throw Failure(Failure::Kind::Protocol, "The answer from " + where(current) +
                                                       " is larger than " +
                                                       std::to_string(kLargestAnswer >> 20) +
                                                       " MB; nothing of it was used.");
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 0) {
            if (!sslErrors.isEmpty()) {
                QStringList texts;
                for (const QSslError& error : sslErrors) texts << error.errorString();
                throw Failure(
                    Failure::Kind::Unreachable,
                    "The certificate of " + current.host().toStdString() +
                        " cannot be trusted: " + texts.join(QStringLiteral("; ")).toStdString());
            }
            if (reply->error() == QNetworkReply::OperationCanceledError)  // the transfer timeout
                throw Failure(Failure::Kind::Unreachable,
                              "The server at " + current.host().toStdString() +
                                  " stopped answering (nothing came for " +
                                  std::to_string(kTransferTimeoutMs / 1000) + " s).");
            throw Failure(Failure::Kind::Unreachable, "Cannot reach " + where(current) + ": " +
                                                          reply->errorString().toStdString());
        }
        if (status == 401)
            throw Failure(Failure::Kind::Authentication, "The server at " +
                                                             current.host().toStdString() +
                                                             " refused the user name or password.");
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (followRedirects && redirect) {
            const QUrl target = current.resolved(
                QUrl::fromEncoded(reply->rawHeader("Location"), QUrl::TolerantMode));
            if (hop >= kMostRedirects || !target.isValid() || target == current)
                throw Failure(Failure::Kind::Protocol,
                              "The server sends " + where(url) + " round in redirects.");
            current = target;
            continue;
        }
        return {status, reply->readAll(), reply->rawHeader("ETag"), current};
    }
}

Reply Client::propfind(const QUrl& url, int depth, const QByteArray& body) {
    return send("PROPFIND", url, body, {{"Depth", QByteArray::number(depth)}}, true);
}

QUrl Client::cardUrl(const QUrl& book, const QString& href) {
    return book.resolved(QUrl(href, QUrl::TolerantMode));
}

QString Client::hrefOf(const QUrl& book, const QString& hrefOrUrl) {
    const QUrl url = cardUrl(book, hrefOrUrl);
    return sameOrigin(url, book) ? url.path(QUrl::FullyEncoded) : QString();
}

QUrl Client::findAddressBook() {
    const QByteArray body = propfindBody(discoveryProperties());
    const QUrl start = account_.server;
    // One PROPFIND: the answer, and the address it came from after redirects.
    const auto look = [&](const QUrl& url) -> std::optional<std::pair<Response, QUrl>> {
        const Reply reply = propfind(url, 0, body);
        if (reply.status != 207) return std::nullopt;
        MultiStatus status = multiStatus(reply, where(url));
        if (status.responses.empty()) return std::nullopt;
        return std::make_pair(std::move(status.responses.front()), reply.url);
    };

    QUrl principal, home;
    const auto take = [&](const Response& response, const QUrl& from) {
        const QString principalHref =
            firstHref(response, kDav, QStringLiteral("current-user-principal"));
        const QString homeHref =
            firstHref(response, kCardDav, QStringLiteral("addressbook-home-set"));
        if (principal.isEmpty() && !principalHref.isEmpty())
            principal = cardUrl(from, principalHref);
        if (home.isEmpty() && !homeHref.isEmpty()) home = cardUrl(from, homeHref);
    };

    if (start.path() != QLatin1String("/")) {
        if (const auto here = look(start)) {
            if (isAddressBook(here->first)) {
                offersSyncCollection_ = offersSync(here->first);
                return asFolder(here->second);
            }
            take(here->first, here->second);
        }
    }
    if (principal.isEmpty() && home.isEmpty()) {
        QUrl wellKnown = start;
        wellKnown.setPath(QStringLiteral("/.well-known/carddav"));
        if (const auto found = look(wellKnown)) take(found->first, found->second);
    }
    if (principal.isEmpty() && home.isEmpty() && start.path() == QLatin1String("/"))
        if (const auto root = look(start)) take(root->first, root->second);
    if (home.isEmpty() && !principal.isEmpty())
        if (const auto found = look(principal)) take(found->first, found->second);
    if (home.isEmpty())
        throw Failure(Failure::Kind::Protocol,
                      "No CardDAV address book was found at " + where(start) +
                          ": the server names no address book home for this user.");

    const Reply listing = propfind(asFolder(home), 1, body);
    if (listing.status != 207)
        throw Failure(Failure::Kind::Server,
                      "The server answered HTTP " + std::to_string(listing.status) +
                          " when asked for the address books at " + where(home) + ".");
    for (const Response& response : multiStatus(listing, where(home)).responses) {
        if (!isAddressBook(response)) continue;
        const QUrl book = asFolder(cardUrl(listing.url, response.href));
        requireAllowed(book);
        offersSyncCollection_ = offersSync(response);
        return book;
    }
    throw Failure(Failure::Kind::Protocol,
                  "The account at " + where(home) + " has no address book yet.");
}

std::optional<Listing> Client::changesSince(const QUrl& book, const QString& syncToken) {
    const Reply reply =
        send("REPORT", book, syncCollectionBody(syncToken), {{"Depth", "0"}}, false);
    if (!syncToken.isEmpty() && (reply.status == 403 || reply.status == 409 || reply.status == 412))
        return std::nullopt;  // the token is too old or unknown: list everything
    if (reply.status != 207)
        throw Failure(Failure::Kind::Server,
                      "The server answered HTTP " + std::to_string(reply.status) +
                          " when asked for the changes of " + where(book) + ".");
    const MultiStatus status = multiStatus(reply, where(book));
    Listing listing;
    listing.syncToken = status.syncToken;
    listing.sinceToken = !syncToken.isEmpty();
    const QString bookPath = book.path(QUrl::FullyEncoded);
    for (const Response& response : status.responses) {
        const QString href = hrefOf(book, response.href);
        if (href.isEmpty() || href == bookPath) continue;
        if (response.status == 404) {
            listing.removed << href;
            continue;
        }
        const Property* etag = response.property(kDav, QStringLiteral("getetag"));
        if (etag && !etag->text.isEmpty()) listing.cards.push_back({href, etag->text.toUtf8()});
    }
    return listing;
}

Listing Client::listCards(const QUrl& book) {
    const Reply reply = propfind(
        book, 1,
        propfindBody({{kDav, QStringLiteral("resourcetype")}, {kDav, QStringLiteral("getetag")}}));
    if (reply.status != 207)
        throw Failure(Failure::Kind::Server,
                      "The server answered HTTP " + std::to_string(reply.status) +
                          " when asked for the cards of " + where(book) + ".");
    Listing listing;
    const QString bookPath = book.path(QUrl::FullyEncoded);
    for (const Response& response : multiStatus(reply, where(book)).responses) {
        const QString href = hrefOf(book, response.href);
        if (href.isEmpty() || href == bookPath || isCollection(response)) continue;
        const Property* etag = response.property(kDav, QStringLiteral("getetag"));
        if (etag && !etag->text.isEmpty()) listing.cards.push_back({href, etag->text.toUtf8()});
    }
    return listing;
}

std::vector<FetchedCard> Client::fetchCards(const QUrl& book, const QStringList& hrefs) {
    std::vector<FetchedCard> cards;
    for (qsizetype start = 0; start < hrefs.size(); start += kMultigetBatch) {
        const QStringList batch = hrefs.mid(start, kMultigetBatch);
        const Reply reply = send("REPORT", book, multigetBody(batch), {{"Depth", "1"}}, false);
        if (reply.status != 207)
            throw Failure(Failure::Kind::Server,
                          "The server answered HTTP " + std::to_string(reply.status) +
                              " when asked for cards of " + where(book) + ".");
        for (const Response& response : multiStatus(reply, where(book)).responses) {
            const Property* data = response.property(kCardDav, QStringLiteral("address-data"));
            const Property* etag = response.property(kDav, QStringLiteral("getetag"));
            const QString href = hrefOf(book, response.href);
            if (!data || !etag || href.isEmpty() || !batch.contains(href)) continue;
            cards.push_back({href, etag->text.toUtf8(), data->text.toUtf8()});
        }
    }
    return cards;
}

Reply Client::putCard(const QUrl& book, const QString& href, const QByteArray& data,
                      const QByteArray& ifMatch) {
    std::vector<std::pair<QByteArray, QByteArray>> headers{
        {"Content-Type", "text/vcard; charset=utf-8"}};
    if (ifMatch.isEmpty())
        headers.emplace_back("If-None-Match", "*");
    else
        headers.emplace_back("If-Match", ifMatch);
    const Reply reply = send("PUT", cardUrl(book, href), data, headers, false);
    if (reply.status >= 500)
        throw Failure(Failure::Kind::Server, "The server answered HTTP " +
                                                 std::to_string(reply.status) + " to a change of " +
                                                 where(cardUrl(book, href)) + ".");
    return reply;
}

Reply Client::deleteCard(const QUrl& book, const QString& href, const QByteArray& ifMatch) {
    const Reply reply = send("DELETE", cardUrl(book, href), {}, {{"If-Match", ifMatch}}, false);
    if (reply.status >= 500)
        throw Failure(Failure::Kind::Server,
                      "The server answered HTTP " + std::to_string(reply.status) +
                          " to the deletion of " + where(cardUrl(book, href)) + ".");
    return reply;
}

}  // namespace store::carddav
