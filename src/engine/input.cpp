// The interface's input: words and lines read from standard input, the test whether input
// waits (for the search's poll), and the input that the poll read during a search and kept for
// the command loop, which reads it first, in arrival order.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "engine/engine.h"

bool InputOverflow;
bool SearchReading;
int64_t InputQuietAt;
int64_t WordArrivedAt;

namespace {

// Input is read from three places in turn: the input kept for the loop (not during a search),
// a word given back during a search, and standard input with one character read ahead.
struct Source {
  char text[CommandBufferSize + 1];
  int start, end;
  bool Holds() const { return start < end; }
};
// Input the poll read and kept for the loop, byte for byte (a word with the blank or line end
// after it, a command with the rest of its line). The poll never reads it.
constexpr int KeptSize = 1 << 16;
char Kept[KeptSize];
int KeptStart, KeptEnd;
Source GivenBack;  // a word the poll gave back (UnreadWord during a search), with a blank
int PutBack = EOF;  // one character of standard input read ahead and given back, EOF for none
enum class From { Kept, GivenBack, Stdin } LastFrom;

bool KeptWaits() { return !SearchReading && KeptStart < KeptEnd; }

int ReadChar() {
  if (KeptWaits()) {
    LastFrom = From::Kept;
    return static_cast<unsigned char>(Kept[KeptStart++]);
  }
  if (GivenBack.Holds()) {
    LastFrom = From::GivenBack;
    return static_cast<unsigned char>(GivenBack.text[GivenBack.start++]);
  }
  LastFrom = From::Stdin;
  int c = PutBack;
  PutBack = EOF;
  return c != EOF ? c : std::getchar();
}

// Gives the last character read back to where it came from.
void UnreadChar(int c) {
  if (LastFrom == From::Kept) KeptStart--;
  else if (LastFrom == From::GivenBack) GivenBack.start--;
  else PutBack = c;
}

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Stores c at buffer[length] while it fits (one byte stays for the NUL); notes an overflow otherwise.
void Append(char* buffer, int size, int& length, int c) {
  if (length < size - 1) buffer[length++] = static_cast<char>(c);
  else InputOverflow = true;
}

// Makes room for length more bytes of kept input; false when they cannot fit.
bool RoomToKeep(size_t length) {
  if (length <= static_cast<size_t>(KeptSize - KeptEnd)) return true;
  std::memmove(Kept, Kept + KeptStart, KeptEnd - KeptStart);
  KeptEnd -= KeptStart;
  KeptStart = 0;
  return length <= static_cast<size_t>(KeptSize - KeptEnd);
}

// Appends text to the kept input; what cannot fit is dropped with a log line.
void Keep(const char* text, size_t length) {
  if (!RoomToKeep(length)) {
    LogLine("-M: dropped input kept during a search: %.*s", static_cast<int>(length), text);
    return;
  }
  std::memcpy(Kept + KeptEnd, text, length);
  KeptEnd += static_cast<int>(length);
}

}  // namespace

// Standard input is unbuffered (start-up), so every byte not yet read is still in the pipe
// and poll/FIONREAD see all of it. White space already waiting is consumed here, so that a
// stray line end never makes the search block in a read; a closed or broken input answers 1
// so that the next read runs into the end of input at once. The kept input does not count: the
// poll has read it already.
int InputPending() {
  if (GivenBack.Holds() || (PutBack != EOF && !IsSpace(PutBack))) return 1;
  for (;;) {
    int bytes = BytesWaiting();
    if (bytes < 0) return 1;
    if (bytes == 0) {
      InputQuietAt = Now();
      return 0;
    }
    int c = std::getchar();
    PutBack = EOF;
    if (c == EOF) return 1;
    if (!IsSpace(c)) {
      PutBack = c;
      return bytes;
    }
  }
}

// Blanks and line ends left after the last word kept do not count (they are dropped).
bool InputKept() {
  while (KeptStart < KeptEnd && IsSpace(Kept[KeptStart])) KeptStart++;
  return KeptStart < KeptEnd;
}

// The word ends at the first white-space character, which is given back so that a following
// line read (setboard) starts with it. A word that does not fit is still read whole. A word the
// read had to wait for arrived as the read returned; one already waiting arrived after the input
// was last seen empty (a kept word keeps the time of its first reading).
bool ReadWord(char* buffer, int size) {
  InputOverflow = false;
  const bool kept = KeptWaits() || GivenBack.Holds();
  const bool waiting = kept || (PutBack != EOF && !IsSpace(PutBack)) || BytesWaiting() != 0;
  int c = ReadChar();
  while (c != EOF && IsSpace(c)) c = ReadChar();
  int length = 0;
  for (; c != EOF && !IsSpace(c); c = ReadChar()) Append(buffer, size, length, c);
  UnreadChar(c);
  buffer[length] = 0;
  if (!waiting) InputQuietAt = Now();
  if (!kept) WordArrivedAt = InputQuietAt;
  return length > 0;
}

// During a search the word goes back to the poll's own input; otherwise in front of everything
// the loop reads next.
void UnreadWord(const char* word) {
  if (SearchReading) {
    int length = std::snprintf(GivenBack.text, sizeof GivenBack.text, "%s ", word);
    GivenBack.start = 0;
    GivenBack.end = std::min(length, static_cast<int>(sizeof GivenBack.text) - 1);
    return;
  }
  size_t length = std::strlen(word);
  if (static_cast<size_t>(KeptStart) <= length && !RoomToKeep(length + 1)) return;
  if (static_cast<size_t>(KeptStart) <= length) {
    std::memmove(Kept + length + 1, Kept + KeptStart, KeptEnd - KeptStart);
    KeptEnd += static_cast<int>(length + 1) - KeptStart;
    KeptStart = static_cast<int>(length + 1);
  }
  KeptStart -= static_cast<int>(length + 1);
  std::memcpy(Kept + KeptStart, word, length);
  Kept[KeptStart + length] = ' ';
}

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
  int c = ReadChar();
  for (; c != EOF && c != '\n'; c = ReadChar())
    if (c != '\r') Append(buffer, size, length, c);
  buffer[length] = 0;
  return c != EOF || length > 0;
}

// The word just read by the poll, with the blank or line end after it, and for a command that
// takes arguments the rest of its line: the loop reads them as they arrived.
void KeepForLoop(const char* word, bool withLine) {
  Keep(word, std::strlen(word));
  int c = ReadChar();
  if (withLine && c != '\n' && c != EOF) {
    char line[4096];
    line[0] = static_cast<char>(c);
    ReadLine(line + 1, sizeof line - 1);
    Keep(line, std::strlen(line));
    c = '\n';
  }
  char end = c == EOF ? '\n' : static_cast<char>(c);
  Keep(&end, 1);
}
