#pragma once
// Talks CardDAV (RFC 6352) to one account's server through Qt Network: finds the address
// book, lists its cards with their ETags (by sync-collection, RFC 6578, when the server
// offers it), fetches cards by multiget, and writes them with If-Match / If-None-Match.
//
// Every request waits in a local event loop, so the caller reads like straight-line code
// while a window stays responsive. TLS certificates are verified; plain http goes only to
// the local machine or to a server the user confirmed. Credentials go into requests and
// nowhere else: no message, URL or log holds them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QNetworkAccessManager;

namespace store::carddav {

struct Account {
    QUrl server;  // the server's base address or the address book's own
    QString user;
    QString password;
    bool plainHttpConfirmed = false;  // the user agreed to plain http to this server
};

// Why the exchange cannot go on; what() is the message the user sees.
class Failure : public std::runtime_error {
  public:
    enum class Kind { Refused, Unreachable, Authentication, Server, Protocol, Cancelled };
    Failure(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

struct Reply {
    int status = 0;
    QByteArray body;
    QByteArray etag;  // the ETag header, quotes and all
    QUrl url;         // where the answer came from, after redirects
};

struct CardVersion {
    QString href;  // the card's path on the server, percent-encoded
    QByteArray etag;
};

struct Listing {
    std::vector<CardVersion> cards;  // all cards, or those changed since the token
    QStringList removed;             // since the token
    QString syncToken;               // to ask for the changes after this listing; "" without
    bool sinceToken = false;         // whether `cards` and `removed` are changes only
};

struct FetchedCard {
    QString href;
    QByteArray etag;
    QByteArray data;
};

class Client {
  public:
    // Throws Failure(Refused) for an address that is neither https nor plain http allowed
    // by the rules above, or that holds a user or password.
    Client(Account account, const std::atomic<bool>* cancel = nullptr);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // The address book: the account's address when it is one, else through
    // /.well-known/carddav, the current user's principal and its address book home.
    QUrl findAddressBook();
    bool offersSyncCollection() const { return offersSyncCollection_; }

    // With a token: the changes since it, or nullopt when the server no longer knows the
    // token. Without: every card.
    std::optional<Listing> changesSince(const QUrl& book, const QString& syncToken);
    Listing listCards(const QUrl& book);  // every card by PROPFIND; no token
    // The cards at these hrefs that are there; fetched in batches.
    std::vector<FetchedCard> fetchCards(const QUrl& book, const QStringList& hrefs);

    // New card when `ifMatch` is empty (If-None-Match: *), else a change of that version.
    // 2xx, 412 (the card is not as expected) and other refusals come back as the status.
    Reply putCard(const QUrl& book, const QString& href, const QByteArray& data,
                  const QByteArray& ifMatch);
    Reply deleteCard(const QUrl& book, const QString& href, const QByteArray& ifMatch);

    // The address of a card for messages and requests.
    static QUrl cardUrl(const QUrl& book, const QString& href);
    // The href a path or address from the server stands for on this book's server.
    static QString hrefOf(const QUrl& book, const QString& hrefOrUrl);

  private:
    Reply send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
               const std::vector<std::pair<QByteArray, QByteArray>>& headers, bool followRedirects);
    Reply propfind(const QUrl& url, int depth, const QByteArray& body);
    void requireAllowed(const QUrl& url) const;
    std::string where(const QUrl& url) const;

    Account account_;
    const std::atomic<bool>* cancel_;
    std::unique_ptr<QNetworkAccessManager> network_;
    bool offersSyncCollection_ = false;
};

// Whether plain http to this address stays on this machine.
bool isLoopback(const QUrl& url);

}  // namespace store::carddav
