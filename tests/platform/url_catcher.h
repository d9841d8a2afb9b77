#pragma once
// Takes over the desktop's URL handling for a test, so nothing reaches xdg-open: every URL
// of the given schemes that QDesktopServices::openUrl receives is recorded instead.

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <utility>
#include <vector>

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    explicit UrlCatcher(QStringList schemes = {"http", "https", "ftp", "mailto", "file", "tel"})
        : schemes_(std::move(schemes)) {
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, this, "take");
    }
    ~UrlCatcher() override {
        for (const QString& scheme : schemes_) QDesktopServices::unsetUrlHandler(scheme);
    }

    const std::vector<QUrl>& urls() const { return urls_; }

  public slots:
    void take(const QUrl& url) { urls_.push_back(url); }

  private:
    QStringList schemes_;
    std::vector<QUrl> urls_;
};
