// Removes a program's temporary files when a signal stops it part-way, and
// lets a file-size limit end in an ordinary write error instead of a kill.
//
// Any program of this project may use it:
//   1. call InstallSignalCleanup() once at start-up, before any temporary
//      file is made;
//   2. register every temporary file right after creating it, with
//      RegisterCleanupPath(), while CleanupSignalsHeld holds the signals
//      back (so that no signal can fall between creating and registering);
//   3. when the name goes away (unlinked, or renamed to its final name),
//      do that and call UnregisterCleanupPath() under one
//      CleanupSignalsHeld, so that a signal never removes a name that was
//      already given up (another process may have taken it since).
// Without step 1 the registry is kept but nothing acts on it. Registering
// and unregistering are safe from several threads; a program with threads
// should block the caught signals in all but one of them, since a held
// signal is held only in the thread that holds it.
#ifndef QDPEXT_PLATFORM_SIGNAL_CLEANUP_H_
#define QDPEXT_PLATFORM_SIGNAL_CLEANUP_H_

#include <cstddef>

namespace qdp {

// How many paths may be registered at once, and how long each may be.
inline constexpr size_t kCleanupSlots = 16;
inline constexpr size_t kCleanupPathBytes = 4096;

// Ignores SIGXFSZ, so that a write past the file-size limit fails with
// EFBIG. Catches SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (each unless
// it was already ignored when the program started, as for a run under
// nohup): the handler unlinks every registered path, restores the default
// action and raises the signal again, so the exit status still names it.
void InstallSignalCleanup();

// Records `path` for removal by the handler. False when it does not fit
// (too long, or every slot taken); the file is then simply not removed on
// a signal. The same path may be registered once only.
bool RegisterCleanupPath(const char* path) noexcept;

// Forgets `path`; nothing happens when it is not registered.
void UnregisterCleanupPath(const char* path) noexcept;

// Blocks the caught signals for its lifetime; a signal that arrives
// meanwhile is delivered when it ends.
class CleanupSignalsHeld {
 public:
  CleanupSignalsHeld() noexcept;
  ~CleanupSignalsHeld();
  CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
  CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

  static constexpr size_t kMaskBytes = 128;

 private:
  // The signal mask to restore: a sigset_t, kept as bytes so that this
  // header needs no system header.
  alignas(8) unsigned char previous_[kMaskBytes];
};

}  // namespace qdp

#endif  // QDPEXT_PLATFORM_SIGNAL_CLEANUP_H_
