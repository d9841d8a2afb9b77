#pragma once
// The standard error display: a command that fails ends, and the user sees the
// failure's own text in an error box. A refusal the hooks have already explained
// (data::Abort) ends the command silently. Nothing escapes into the event loop.

#include <QString>

#include <exception>
#include <utility>

#include <data/dataset.h>
#include <platform/prompter.h>
#include <xbase/error.h>

namespace app {

// The text shown for a failure.
inline QString failureText(const std::exception& failure) {
    return QString::fromUtf8(failure.what());
}

// Runs `command`; answers whether it ran to its end.
template <typename Command>
bool runCommand(platform::Prompter& prompter, Command&& command) {
    try {
        std::forward<Command>(command)();
        return true;
    } catch (const data::Abort&) {
    } catch (const xbase::Error& failure) {
        prompter.error(failureText(failure));
    } catch (const std::exception& failure) {
        prompter.error(failureText(failure));
    }
    return false;
}

}  // namespace app
