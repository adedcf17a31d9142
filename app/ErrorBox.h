#pragma once

// The application's report of any error no handler catches: a modal
// critical box titled with the application title. Every Qt handler of the
// program runs inside runHandler, because an exception must never unwind
// through Qt's event delivery.

#include <QString>

#include <exception>
#include <stdexcept>
#include <utility>

namespace abm {

// The error's text, with a full stop appended when its last character's
// code is above that of ".".
QString standardErrorText(const QString& message);

// Shows the box (OK button, error icon) and returns when it is closed.
void showError(const std::exception& error);

template <class Handler>
void runHandler(Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showError(error);
    } catch (...) {
        showError(std::runtime_error("Unknown error"));
    }
}

}  // namespace abm
