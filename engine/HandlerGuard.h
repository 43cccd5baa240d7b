#pragma once

#include <exception>
#include <utility>

// Handlers of Qt signals and events must never let an exception out: Qt cannot carry one
// through its event loop. RunGuarded runs a handler's work and stops every exception at its
// edge.
//
// `work` is run; an exception that leaves it ends the work there and is handed to `failed`,
// which reports it the way its handler does: the std::exception, or nullptr for anything else.
// An exception from `failed` itself goes no further either. Returns whether the work ran to its
// end.

namespace HandlerGuardDetail {

template <typename Failed> void Report(Failed& failed, const std::exception* error) noexcept {
    try {
        failed(error);
    } catch (...) {
    }
}

} // namespace HandlerGuardDetail

template <typename Work, typename Failed> bool RunGuarded(Work&& work, Failed&& failed) noexcept {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception& error) {
        HandlerGuardDetail::Report(failed, &error);
    } catch (...) {
        HandlerGuardDetail::Report(failed, nullptr);
    }
    return false;
}

// The same without a report: whatever goes wrong in the work stays in it.
template <typename Work> bool RunGuarded(Work&& work) noexcept {
    return RunGuarded(std::forward<Work>(work), [](const std::exception*) {});
}
