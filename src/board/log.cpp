// The running log "Tirvex.log", written by every floor: one line per event, flushed line by
// line so that the record survives a crash or a kill by the interface. Also the clock.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include "board/board.h"

namespace {
const auto ProgramStart = std::chrono::steady_clock::now();
std::FILE* LogFile;  // null when the log could not be created: logging is then skipped

// Writes the formatted text; a whole line is ended and flushed at once.
void WriteLog(bool wholeLine, const char* format, va_list args) {
  if (!LogFile) return;
  std::vfprintf(LogFile, format, args);
  if (!wholeLine) return;
  std::fputc('\n', LogFile);
  std::fflush(LogFile);
}

}  // namespace

void OpenLog() { LogFile = std::fopen("Tirvex.log", "w"); }

void CloseLog() {
  if (LogFile) std::fclose(LogFile);
  LogFile = nullptr;
}

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLog(true, format, args);
  va_end(args);
}

// Unflushed text: the time command's line and the bitbase error line wait for the next flush.
void LogText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLog(false, format, args);
  va_end(args);
}

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - ProgramStart)
      .count();
}
