#pragma once

#include <csignal>
#include <sys/resource.h>

/**
 * While it lives, no file of this process may grow past the given size, so a
 * write past it fails in the kernel as on a full disk (with EFBIG instead of
 * ENOSPC; the signal that would end the process is ignored meanwhile). A real
 * full file system needs a mount, which a test run cannot count on.
 */
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &mOld);
    rlimit limit = mOld;
    limit.rlim_cur = bytes;
    mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &mOld);
    std::signal(SIGXFSZ, mOldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit mOld{};
  void (*mOldHandler)(int) = nullptr;
};
