// Platform layer: the non-blocking input test, word and line reading from standard input,
// and the signals the interface sends.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include "engine/engine.h"

bool InputOverflow;
int64_t InputQuietAt;
int64_t WordArrivedAt;

namespace {

int PutBack = EOF;  // one character read ahead and given back, EOF for none
// A whole word given back by a reader that did not want it (UnreadWord); empty for none.
char PutBackWord[CommandBufferSize];

int ReadChar() {
  int c = PutBack;
  PutBack = EOF;
  return c != EOF ? c : std::getchar();
}

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Stores c at buffer[length] while it fits (one byte stays for the NUL); notes an overflow otherwise.
void Append(char* buffer, int size, int& length, int c) {
  if (length < size - 1) buffer[length++] = static_cast<char>(c);
  else InputOverflow = true;
}

// Bytes waiting in the input pipe; -1 when the input is closed or broken.
int BytesWaiting() {
  pollfd fd{0, POLLIN, 0};
  if (poll(&fd, 1, 0) < 0 || (fd.revents & (POLLERR | POLLNVAL))) return -1;
  if (!(fd.revents & (POLLIN | POLLHUP))) return 0;
  int bytes = 0;
  if (ioctl(0, FIONREAD, &bytes) < 0 || bytes <= 0) return -1;
  return bytes;
}

}  // namespace

// Standard input is unbuffered (start-up), so every byte not yet read is still in the pipe
// and poll/FIONREAD see all of it. White space already waiting is consumed here, so that a
// stray line end never makes the search block in a read; a closed or broken input answers 1
// so that the next read runs into the end of input at once.
int InputPending() {
  if (PutBackWord[0] || (PutBack != EOF && !IsSpace(PutBack))) return 1;
  for (;;) {
    int bytes = BytesWaiting();
    if (bytes < 0) return 1;
    if (bytes == 0) {
      InputQuietAt = Now();
      return 0;
    }
    int c = ReadChar();
    if (c == EOF) return 1;
    if (!IsSpace(c)) {
      PutBack = c;
      return bytes;
    }
  }
}

// The word ends at the first white-space character, which is put back so that a following
// line read (setboard) starts with it. A word that does not fit is still read whole. A word the
// read had to wait for arrived as the read returned; one already waiting arrived after the input
// was last seen empty.
bool ReadWord(char* buffer, int size) {
  InputOverflow = false;
  if (PutBackWord[0]) {
    std::snprintf(buffer, size, "%s", PutBackWord);
    PutBackWord[0] = 0;
    return true;
  }
  const bool waiting = (PutBack != EOF && !IsSpace(PutBack)) || BytesWaiting() != 0;
  int c = ReadChar();
  while (c != EOF && IsSpace(c)) c = ReadChar();
  int length = 0;
  for (; c != EOF && !IsSpace(c); c = ReadChar()) Append(buffer, size, length, c);
  PutBack = c;
  buffer[length] = 0;
  if (!waiting) InputQuietAt = Now();
  WordArrivedAt = InputQuietAt;
  return length > 0;
}

void UnreadWord(const char* word) { std::snprintf(PutBackWord, sizeof PutBackWord, "%s", word); }

// Reads a decimal integer word (sign allowed, reading stops at the first non-digit); a word
// without digits leaves value as it was and is given back, so that the next reader (the
// command loop) gets it: a lost argument never swallows the following command.
bool ReadInteger(int* value) {
  char word[CommandBufferSize];
  if (!ReadWord(word, sizeof word) || InputOverflow) return false;
  char* end;
  long number = std::strtol(word, &end, 10);
  if (end == word) {
    UnreadWord(word);
    return false;
  }
  *value = static_cast<int>(number < INT_MIN ? INT_MIN : number > INT_MAX ? INT_MAX : number);
  return true;
}

bool ReadLine(char* buffer, int size) {
  InputOverflow = false;
  int length = 0;
  for (const char* p = PutBackWord; *p; p++) Append(buffer, size, length, *p);
  PutBackWord[0] = 0;
  int c = ReadChar();
  for (; c != EOF && c != '\n'; c = ReadChar())
    if (c != '\r') Append(buffer, size, length, c);
  buffer[length] = 0;
  return c != EOF || length > 0;
}

// The interface sends SIGINT before each of its moves (a protocol habit for engines that
// want it); a closed pipe must end in a read or write error, not in a signal death.
void IgnoreInterrupts() {
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}
