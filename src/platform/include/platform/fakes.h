#pragma once
// Recording stand-ins for the desktop services, for tests: nothing is shown, opened or
// dialled; every request is kept for the test to read.

#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <vector>

#include <platform/clipboard.h>
#include <platform/phone_dialer.h>
#include <platform/prompter.h>
#include <platform/secret_store.h>
#include <platform/shell.h>

namespace platform {

// Answers boxes from a script. A box with only OK answers OK without taking a scripted
// answer; a question takes the next scripted answer, or the default one when the script is
// used up. Answers fit the box: Ok and Yes accept, Cancel and No refuse.
class FakePrompter : public Prompter {
  public:
    explicit FakePrompter(Answer defaultAnswer = Answer::Ok);

    void queueAnswer(Answer answer);
    void setDefaultAnswer(Answer answer);

    Answer prompt(const Prompt& prompt) override;

    struct Record {
        Prompt prompt;
        Answer answer;
    };
    const std::vector<Record>& records() const { return records_; }
    // The texts shown, in order.
    std::vector<QString> texts() const;
    std::size_t pendingAnswers() const { return script_.size(); }

    // Runs while a box is being asked, before it is answered: a test can put a real
    // window up here, so that the focus leaves and comes back as around a desktop box.
    std::function<void(const Prompt&)> whileAsking;

  private:
    std::deque<Answer> script_;
    Answer defaultAnswer_;
    std::vector<Record> records_;
};

class FakeShell : public Shell {
  public:
    enum class Request { Url, File };
    struct Record {
        Request request;
        QString target;
    };

    bool openUrl(const QString& address) override;
    bool openFile(const QString& path) override;

    // What every request answers: true by default, as if the desktop took it.
    void setResult(bool succeeds) { result_ = succeeds; }
    const std::vector<Record>& records() const { return records_; }
    std::vector<QString> targets() const;

  private:
    bool result_ = true;
    std::vector<Record> records_;
};

// Stands in for the desktop's opener behind a DesktopShell: notes each text handed over.
class RecordingHandOver {
  public:
    HandOver handOver() {
        return [this](const QString& target) {
            targets_.push_back(target);
            return true;
        };
    }
    const std::vector<QString>& targets() const { return targets_; }

  private:
    std::vector<QString> targets_;
};

class FakeClipboard : public Clipboard {
  public:
    void setText(const QString& text) override;
    QString text() const override { return text_; }

    // Every text set, in order; empty when nothing was put on the clipboard.
    const std::vector<QString>& history() const { return history_; }

  private:
    QString text_;
    std::vector<QString> history_;
};

class FakePhoneDialer : public PhoneDialer {
  public:
    struct Call {
        QString number;
        QString calledParty;
    };
    void dialNumber(const QString& number, const QString& calledParty) override;
    const std::vector<Call>& calls() const { return calls_; }

  private:
    std::vector<Call> calls_;
};

class FakeSchemeHandlerLookup : public SchemeHandlerLookup {
  public:
    explicit FakeSchemeHandlerLookup(HandlerPresence presence = HandlerPresence::Present)
        : presence_(presence) {}
    void setPresence(HandlerPresence presence) { presence_ = presence; }
    HandlerPresence handlerFor(const QString& scheme) override;
    const std::vector<QString>& schemesAsked() const { return schemesAsked_; }

  private:
    HandlerPresence presence_;
    std::vector<QString> schemesAsked_;
};

// A keyring in memory; or, with setAvailable(false), a desktop that has none.
class FakeSecretStore : public SecretStore {
  public:
    StoredSecret read(const QString& key) override;
    bool write(const QString& key, const QString& secret) override;
    void forget(const QString& key) override;

    void setAvailable(bool available) { available_ = available; }
    const std::map<QString, QString>& secrets() const { return secrets_; }

  private:
    bool available_ = true;
    std::map<QString, QString> secrets_;
};

}  // namespace platform
