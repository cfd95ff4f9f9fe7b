// Start-up: unbuffered standard streams, the precomputed tables and the configuration file
// "Tirvex.ini" with the books, bitbases and table size it names.
#include <unistd.h>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "book/book.h"
#include "engine/engine.h"
#include "eval/eval.h"
#include "records/records.h"
#include "search/search.h"

namespace {

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Value with the blanks and tabs around it removed; returns its length.
size_t TrimValue(const char* value, char* trimmed) {
  while (IsBlankOrTab(*value)) value++;
  size_t length = std::strlen(value);
  while (length > 0 && IsBlankOrTab(value[length - 1])) length--;
  std::memcpy(trimmed, value, length);
  trimmed[length] = 0;
  return length;
}

// Path value: trimmed, a '/' appended when not empty and not already ending in a separator.
void TrimPath(const char* value, char* path) {
  size_t length = TrimValue(value, path);
  if (length > 0 && path[length - 1] != '/' && path[length - 1] != '\\') path[length++] = '/';
  path[length] = 0;
}

// Opens the two opening-book sets: the primary from directory, the secondary from its
// subdirectory "2/". Only the primary set's success counts: the secondary book is optional.
bool OpenBooks(const char* directory) {
  char secondary[ConfigLineSize + 4];
  std::snprintf(secondary, sizeof secondary, "%s2/", directory);
  bool opened = OpenBookSet(PrimaryBook, directory);
  OpenBookSet(SecondaryBook, secondary);
  return opened;
}

// Reports a configuration line that is ignored, or whose value is replaced by its default.
void WarnConfigLine(int number, const char* format, ...) __attribute__((format(printf, 2, 3)));
void WarnConfigLine(int number, const char* format, ...) {
  char text[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::printf("WARNING: Tirvex.ini line %d %s\n", number, text);
  LogLine("WARNING: Tirvex.ini line %d %s", number, text);
}

// The integer settings: key, place in the configuration, and the default that replaces a value
// out of range (silently: the value was meant) or one that is no number (with a warning).
struct IntegerSetting {
  const char* key;
  int Configuration::*value;
  int fallback, least, most;
};
constexpr IntegerSetting IntegerSettings[] = {{"EGBB_CACHE=", &Configuration::bitbaseCache, 4, 0, 1000000},
                                              {"EGBB_LOAD=", &Configuration::bitbaseLoad, 1, 0, 5},
                                              {"HASH_MB=", &Configuration::tableMegabytes, 0, 1, 1000000}};

// Integer value: a decimal number with blanks and a sign allowed around it, held within a
// million so that no later arithmetic on it can overflow; false for any other text.
bool IntegerValue(const char* text, long& value) {
  char* end;
  value = std::strtol(text, &end, 10);
  while (IsBlankOrTab(*end)) end++;
  value = value < -1000000 ? -1000000 : value > 1000000 ? 1000000 : value;
  return end != text && !*end;
}

// Applies one setting; a bad value keeps the default, and a line that is no setting is ignored,
// both with a warning.
void ApplyConfigLine(const char* line, Configuration& config, int number) {
  char path[ConfigLineSize + 2];
  if (!std::strncmp(line, "BOOK_PATH=", 10)) {
    TrimPath(line + 10, path);
    config.bookOpened = OpenBooks(path);
    return;
  }
  if (!std::strncmp(line, "POLYGLOT_BOOK=", 14)) {
    // A Polyglot book file, consulted when the own books have no move.
    TrimValue(line + 14, path);
    OpenPolyglotBook(path);
    return;
  }
  if (!std::strncmp(line, "EGBB_PATH=", 10)) {
    TrimPath(line + 10, config.bitbasePath);
    return;
  }
  for (const IntegerSetting& setting : IntegerSettings) {
    size_t length = std::strlen(setting.key);
    if (std::strncmp(line, setting.key, length) != 0) continue;
    long value = 0;
    bool numeric = IntegerValue(line + length, value);
    config.*setting.value = numeric && value >= setting.least && value <= setting.most ? static_cast<int>(value)
                                                                                      : setting.fallback;
    if (!numeric)
      WarnConfigLine(number, "%.*s value is no number: %d used", static_cast<int>(length - 1), setting.key,
                     setting.fallback);
    return;
  }
  WarnConfigLine(number, "ignored: not one of BOOK_PATH=, POLYGLOT_BOOK=, EGBB_PATH=, EGBB_CACHE=, EGBB_LOAD=, HASH_MB=");
}

// Opens "Tirvex.ini" in the working directory and reads it, or reports that it cannot. Only a
// regular file is read, so that a pipe or device in its place never holds start-up up.
void ReadConfigurationFile(Configuration& config) {
  int descriptor = OpenRegularFile("Tirvex.ini");
  std::FILE* file = descriptor >= 0 ? fdopen(descriptor, "r") : nullptr;
  if (!file) {
    if (descriptor >= 0) close(descriptor);
    std::printf("ERROR: Tirvex.ini file cannot be opened.\n");
    LogLine("ERROR: Tirvex.ini file cannot be opened.");
    return;
  }
  ReadConfiguration(file, config);
  if (std::ferror(file)) {
    std::printf("ERROR: Tirvex.ini file cannot be read.\n");
    LogLine("ERROR: Tirvex.ini file cannot be read.");
  }
  std::fclose(file);
}

// A "BOOK ERROR" line for each line of the book set's message, which has one for each file
// pair that cannot be used (and a single line with an empty text when no book was named).
void ReportBookError(const char* message) {
  do {
    int length = static_cast<int>(std::strcspn(message, "\n"));
    std::printf("BOOK ERROR: %.*s\n", length, message);
    LogLine("BOOK ERROR: %.*s", length, message);
    message += length + (message[length] == '\n');
  } while (*message);
}

// The book and bitbase status lines printed after the handshake.
void ReportBooksAndBitbases(const Configuration& config) {
  if (!config.bookOpened) ReportBookError(PrimaryBook.Message);
  if (PolyglotBook.Message[0]) ReportBookError(PolyglotBook.Message);
  if (!BitbasesLoaded) {
    std::printf("EGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in 'Tirvex.ini' file.\n");
    LogText("EGBB ERROR: endgame bitbases not loaded. Check EGBB_PATH in 'Tirvex.ini' file.\n");
    return;
  }
  std::printf("EGBB_LOAD=%d\n", config.bitbaseLoad);
  if (config.bitbaseLoad < 1) std::printf("EGBB WARNING: EGBB_LOAD < 1 in 'Tirvex.ini' file.\n");
  std::printf("EGBB_CACHE=%d\n", config.bitbaseCache);
  if (config.bitbaseCache < 4) std::printf("EGBB WARNING: EGBB_CACHE < 4 in 'Tirvex.ini' file.\n");
}

}  // namespace

// Reads the configuration line by line, every line of it: a line too long or holding a NUL
// character is reported and ignored.
void ReadConfiguration(std::FILE* file, Configuration& config) {
  static char text[ConfigLineSize];
  TextLine line;
  for (int number = 1; ReadTextLine(file, text, ConfigLineSize - 2, line); number++) {
    const char* start = text;
    while (IsBlankOrTab(*start)) start++;
    if (line.tooLong) WarnConfigLine(number, "ignored: longer than %d characters", ConfigLineSize - 2);
    else if (line.hasNul) WarnConfigLine(number, "ignored: it holds a NUL character");
    else if (*start && *start != '#') ApplyConfigLine(start, config, number);
  }
}

// Start-up reads no input: the interface's handshake is answered by the command loop, once
// the tables, the configuration, the books and the bitbases are ready.
bool Startup() {
  EngineState = Waiting;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  std::fflush(nullptr);
  CurrentPly = &PlyRecords[1];
  InitTables();
  InitPhaseTables();
  MoveMakerFailureContext = WriteFailureContext;
  ClearTT();
  // The start position, so that the board is never empty, even for a console user who
  // types go or perft before new.
  SetupGame(InitialFen);

  Configuration config;
  ReadConfigurationFile(config);
  if (config.tableMegabytes > 0) SizeTable(config.tableMegabytes);
  if (config.bitbasePath[0]) LoadBitbases(config.bitbasePath, config.bitbaseCache, config.bitbaseLoad);
  ReportBooksAndBitbases(config);
  return true;
}
