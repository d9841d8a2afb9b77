#include <platform/fakes.h>

namespace platform {

FakePrompter::FakePrompter(Answer defaultAnswer) : defaultAnswer_(defaultAnswer) {}

void FakePrompter::queueAnswer(Answer answer) {
    script_.push_back(answer);
}

void FakePrompter::setDefaultAnswer(Answer answer) {
    defaultAnswer_ = answer;
}

Answer FakePrompter::prompt(const Prompt& prompt) {
    if (whileAsking) whileAsking(prompt);
    Answer answer = Answer::Ok;
    if (prompt.buttons != ButtonSet::Ok) {
        answer = defaultAnswer_;
        if (!script_.empty()) {
            answer = script_.front();
            script_.pop_front();
        }
        answer = answerWithin(prompt.buttons, answer);
    }
    records_.push_back({prompt, answer});
    return answer;
}

std::vector<QString> FakePrompter::texts() const {
    std::vector<QString> texts;
    for (const Record& record : records_) texts.push_back(record.prompt.text);
    return texts;
}

bool FakeShell::openUrl(const QString& address) {
    records_.push_back({Request::Url, address});
    return result_;
}

bool FakeShell::openFile(const QString& path) {
    records_.push_back({Request::File, path});
    return result_;
}

std::vector<QString> FakeShell::targets() const {
    std::vector<QString> targets;
    for (const Record& record : records_) targets.push_back(record.target);
    return targets;
}

void FakeClipboard::setText(const QString& text) {
    text_ = text;
    history_.push_back(text);
}

void FakePhoneDialer::dialNumber(const QString& number, const QString& calledParty) {
    calls_.push_back({number, calledParty});
}

HandlerPresence FakeSchemeHandlerLookup::handlerFor(const QString& scheme) {
    schemesAsked_.push_back(scheme);
    return presence_;
}

StoredSecret FakeSecretStore::read(const QString& key) {
    if (!available_) return {StoredSecret::Outcome::NoKeyring, {}};
    const auto found = secrets_.find(key);
    if (found == secrets_.end()) return {StoredSecret::Outcome::NotFound, {}};
    return {StoredSecret::Outcome::Found, found->second};
}

bool FakeSecretStore::write(const QString& key, const QString& secret) {
    if (!available_) return false;
    secrets_[key] = secret;
    return true;
}

void FakeSecretStore::forget(const QString& key) {
    secrets_.erase(key);
}

}  // namespace platform
