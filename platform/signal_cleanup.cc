#include "platform/signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace qdp {
namespace {

constexpr std::array<int, 5> kCaughtSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// The handler may only look at memory that is never allocated or moved, so
// the names live in fixed buffers, prepared when the file is made. A slot
// is claimed before its name is written and marked ready only after, so
// neither the handler nor another thread sees half a name.
enum SlotState : int { kFree, kClaimed, kReady };
struct Slot {
  std::atomic<int> state{kFree};
  char path[kCleanupPathBytes] = {};
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the states");

// Zero at load time: no start-up code touches its pages.
constinit Slot g_slots[kCleanupSlots];

sigset_t CaughtSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal_number : kCaughtSignals) sigaddset(&set, signal_number);
  return set;
}

// Only async-signal-safe calls: unlink, sigaction, raise.
extern "C" void RemoveRegisteredAndReraise(int signal_number) {
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kReady) ::unlink(slot.path);
  }
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  // The signal stays blocked until the handler returns, and is then
  // delivered again with its default action.
  ::raise(signal_number);
}

}  // namespace

void InstallSignalCleanup() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);

  struct sigaction action {};
  action.sa_handler = RemoveRegisteredAndReraise;
  // A second signal waits until the first one has removed the files.
  action.sa_mask = CaughtSet();
  for (int signal_number : kCaughtSignals) {
    struct sigaction previous {};
    ::sigaction(signal_number, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) continue;  // whoever started us wants it ignored
    ::sigaction(signal_number, &action, nullptr);
  }
}

bool RegisterCleanupPath(const char* path) noexcept {
  size_t length = std::strlen(path);
  if (length >= kCleanupPathBytes) return false;
  for (Slot& slot : g_slots) {
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(slot.path, path, length + 1);
    slot.state.store(kReady);
    return true;
  }
  return false;
}

void UnregisterCleanupPath(const char* path) noexcept {
  for (Slot& slot : g_slots) {
    if (slot.state.load() == kReady && std::strcmp(slot.path, path) == 0) {
      slot.state.store(kFree);
      return;
    }
  }
}

static_assert(sizeof(sigset_t) <= CleanupSignalsHeld::kMaskBytes && alignof(sigset_t) <= 8);

CleanupSignalsHeld::CleanupSignalsHeld() noexcept {
  sigset_t set = CaughtSet();
  ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(previous_));
}

CleanupSignalsHeld::~CleanupSignalsHeld() {
  ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(previous_), nullptr);
}

}  // namespace qdp
