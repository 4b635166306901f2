#include "platform/SideThread.h"

#include <memory>
#include <pthread.h>
#include <sched.h>
#include <system_error>

namespace Larkhill {

namespace {

struct Start {
  std::function<void()> body;
  cpu_set_t processors; // the maker's, for the thread once it runs
};

void* run(void* data) noexcept {
  std::unique_ptr<Start> start(static_cast<Start*>(data));
  if (CPU_COUNT(&start->processors) > 0)
    pthread_setaffinity_np(pthread_self(), sizeof start->processors, &start->processors);
  start->body(); // an exception ends the process here, as from a std::thread
  return nullptr;
}

} // namespace

SideThread::~SideThread() {
  if (mStarted)
    join();
}

void SideThread::start(std::function<void()> body) {
  auto start = std::make_unique<Start>();
  start->body = std::move(body);
  CPU_ZERO(&start->processors);
  const bool known = sched_getaffinity(0, sizeof start->processors, &start->processors) == 0;
  cpu_set_t others = start->processors;
  const int here = sched_getcpu();
  if (here >= 0 && here < CPU_SETSIZE)
    CPU_CLR(here, &others);
  pthread_t thread;
  int failed = EINVAL;
  if (known && here >= 0 && CPU_COUNT(&others) > 0) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setaffinity_np(&attributes, sizeof others, &others);
    failed = pthread_create(&thread, &attributes, run, start.get());
    pthread_attr_destroy(&attributes);
  }
  // Held to one processor, or refused that set (a processor taken offline
  // since, or a system that lets no thread choose): started where the
  // system places it.
  if (failed != 0)
    failed = pthread_create(&thread, nullptr, run, start.get());
  if (failed != 0)
    throw std::system_error(failed, std::generic_category(), "a thread could not be started");
  start.release(); // the thread's own now
  static_assert(sizeof thread <= sizeof mThread, "a thread's handle fits");
  mThread = static_cast<unsigned long>(thread);
  mStarted = true;
}

void SideThread::join() {
  pthread_join(pthread_t(mThread), nullptr);
  mStarted = false;
}

} // namespace Larkhill
