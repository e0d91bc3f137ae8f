#pragma once
// The standard exception display: the message with "." added, captioned with the application title,
// stop icon, OK. Shown for every exception that no code of the program catches.
#include <exception>
#include <functional>

namespace kvt {

void showStandardException(const std::exception &e);

/// Runs fn; an exception that leaves it is shown by the standard exception display.
/// Returns false when that happened.
bool guarded(const std::function<void()> &fn);

} // namespace kvt
