#pragma once

#include "platform/Export.h"

#include <functional>

namespace LARKHILL_API Larkhill {

/**
 * A thread that does one half of a piece of work while the caller does the
 * other, started on a processor other than the caller's where the caller may
 * run on more than one; once it runs, it may run on any of the caller's.
 *
 * A new thread is otherwise often queued on its maker's processor, where it
 * only runs once its maker waits for it: the halves are then done one after
 * the other, most often after the machine was idle (as when a list is
 * loaded at the press of a button). Throws std::system_error when no thread
 * can be made, as std::thread does.
 */
class SideThread {
public:
  SideThread() = default;
  explicit SideThread(std::function<void()> body) { start(std::move(body)); }
  /** Waits for the thread to end. */
  ~SideThread();
  SideThread(const SideThread&) = delete;
  SideThread& operator=(const SideThread&) = delete;

  /** Starts the thread on `body`; only when none was started, or the last was joined. */
  void start(std::function<void()> body);
  bool joinable() const { return mStarted; }
  void join();

private:
  unsigned long mThread = 0; // pthread_t
  bool mStarted = false;
};

} // namespace Larkhill
