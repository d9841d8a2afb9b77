#pragma once
// Answers the standard input box and file dialogs from a script and records how each was
// set up. An unscripted dialog is cancelled.

#include <deque>
#include <optional>
#include <vector>

#include <playlist/standard_dialogs.h>

namespace testsupport {

class ScriptedDialogs : public playlist::StandardDialogs {
  public:
    struct InputBox {
        QString caption;
        QString prompt;
        QString text;
        int maxLength;
    };

    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QStringList>> openManyAnswers;
    std::deque<std::optional<QString>> saveAnswers;

    std::vector<InputBox> inputBoxes;
    std::vector<playlist::FileDialogSettings> openDialogs;
    std::vector<playlist::FileDialogSettings> openManyDialogs;
    std::vector<playlist::FileDialogSettings> saveDialogs;

    std::optional<QString> inputBox(QWidget*, const QString& caption, const QString& prompt,
                                    const QString& text, int maxLength) override {
        inputBoxes.push_back({caption, prompt, text, maxLength});
        return next(inputAnswers);
    }
    std::optional<QString> openFileName(QWidget*,
                                        const playlist::FileDialogSettings& settings) override {
        openDialogs.push_back(settings);
        return next(openAnswers);
    }
    std::optional<QStringList> openFileNames(
        QWidget*, const playlist::FileDialogSettings& settings) override {
        openManyDialogs.push_back(settings);
        return next(openManyAnswers);
    }
    std::optional<QString> saveFileName(QWidget*,
                                        const playlist::FileDialogSettings& settings) override {
        saveDialogs.push_back(settings);
        return next(saveAnswers);
    }

  private:
    template <typename T>
    static std::optional<T> next(std::deque<std::optional<T>>& script) {
        if (script.empty()) return std::nullopt;
        std::optional<T> answer;
        answer.swap(script.front());  // a copy here upsets GCC 12's uninitialised-use check
        script.pop_front();
        return answer;
    }
};

}  // namespace testsupport
