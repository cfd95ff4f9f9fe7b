// Platform layer: how many bytes wait on standard input without blocking, and the signals the
// interface sends.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <csignal>
#include "engine/engine.h"

// poll tells whether the pipe holds data (or has been closed); FIONREAD how much.
int BytesWaiting() {
  pollfd fd{0, POLLIN, 0};
  if (poll(&fd, 1, 0) < 0 || (fd.revents & (POLLERR | POLLNVAL))) return -1;
  if (!(fd.revents & (POLLIN | POLLHUP))) return 0;
  int bytes = 0;
  if (ioctl(0, FIONREAD, &bytes) < 0 || bytes <= 0) return -1;
  return bytes;
}

int64_t PhysicalMemoryMegabytes() {
  long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? (int64_t(pages) * size) >> 20 : 0;
}

// The interface sends SIGINT before each of its moves (a protocol habit for engines that
// want it); a closed pipe must end in a read or write error, not in a signal death.
void IgnoreInterrupts() {
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}
