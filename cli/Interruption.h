#pragma once

#include <atomic>

namespace quenlith::cli {

// Ctrl-C handling for long runs: the first SIGINT (or SIGTERM) only raises a flag, so that
// workers finish or abandon their current write cleanly (no partial file is left) and start no
// new document; a second one ends the program at once.
void watchForInterruption();

// Whether an interruption was asked for. Safe to call from any thread.
bool interrupted();

// The flag itself, for the core's stop signals (OpenLimits::stop, ExtractionOptions::stop).
const std::atomic<bool> &interruptionFlag();

// The exit status after an interruption (128 + SIGINT, as shells report it).
inline constexpr int interruptedExitStatus = 130;

} // namespace quenlith::cli
