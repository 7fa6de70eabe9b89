#include "cli/Interruption.h"

#include <atomic>
#include <csignal>

namespace quenlith::cli {

namespace {

std::atomic<bool> interruptionAsked { false };
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onInterruption(int)
{
    interruptionAsked.store(true);
}

} // namespace

void watchForInterruption()
{
    struct sigaction action { };
    action.sa_handler = onInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // a second signal takes the default action
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

const std::atomic<bool> &interruptionFlag()
{
    return interruptionAsked;
}

bool interrupted()
{
    return interruptionAsked.load(std::memory_order_relaxed);
}

} // namespace quenlith::cli
