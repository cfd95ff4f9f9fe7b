// Start-up: unbuffered standard streams, the precomputed tables and the configuration file
// "Tirvex.ini" with the books and bitbases it names.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "book/book.h"
#include "engine/engine.h"
#include "eval/eval.h"
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

// Integer value: leading blanks and a sign allowed, reading stops at the first non-digit;
// held within a million so that no later arithmetic on it can overflow.
int IntegerValue(const char* value) {
  long number = std::strtol(value, nullptr, 10);
  return number < -1000000 ? -1000000 : number > 1000000 ? 1000000 : static_cast<int>(number);
}

void ApplyConfigLine(const char* line, Configuration& config) {
  char path[ConfigLineSize + 2];
  if (!std::strncmp(line, "BOOK_PATH=", 10)) {
    TrimPath(line + 10, path);
    config.bookOpened = OpenBooks(path);
  } else if (!std::strncmp(line, "POLYGLOT_BOOK=", 14)) {
    // A Polyglot book file, consulted when the own books have no move.
    TrimValue(line + 14, path);
    OpenPolyglotBook(path);
  } else if (!std::strncmp(line, "EGBB_PATH=", 10)) {
    TrimPath(line + 10, config.bitbasePath);
  } else if (!std::strncmp(line, "EGBB_CACHE=", 11)) {
    config.bitbaseCache = IntegerValue(line + 11);
    if (config.bitbaseCache < 0) config.bitbaseCache = 4;
  } else if (!std::strncmp(line, "HASH_MB=", 8)) {
    // The transposition table's size in megabytes; the default stays for a value below 1.
    if (int megabytes = IntegerValue(line + 8); megabytes > 0) SizeTable(megabytes);
  } else if (!std::strncmp(line, "EGBB_LOAD=", 10)) {
    config.bitbaseLoad = IntegerValue(line + 10);
    if (config.bitbaseLoad < 0 || config.bitbaseLoad > 5) config.bitbaseLoad = 1;
  }
}

// Opens "Tirvex.ini" in the working directory and reads it, or reports that it cannot.
void ReadConfigurationFile(Configuration& config) {
  std::FILE* file = std::fopen("Tirvex.ini", "r");
  if (!file) {
    std::printf("ERROR: Tirvex.ini file cannot be opened.\n");
    LogLine("ERROR: Tirvex.ini file cannot be opened.");
    return;
  }
  ReadConfiguration(file, config);
  std::fclose(file);
}

// The book and bitbase status lines printed after the handshake.
void ReportBooksAndBitbases(const Configuration& config) {
  if (!config.bookOpened) {
    std::printf("BOOK ERROR: %s\n", PrimaryBook.Message);
    LogLine("BOOK ERROR: %s", PrimaryBook.Message);
  }
  if (PolyglotBook.Message[0]) {
    std::printf("BOOK ERROR: %s\n", PolyglotBook.Message);
    LogLine("BOOK ERROR: %s", PolyglotBook.Message);
  }
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

// Reads the configuration line by line; reading stops at a line too long to be read whole.
void ReadConfiguration(std::FILE* file, Configuration& config) {
  char line[ConfigLineSize];
  while (std::fgets(line, sizeof line, file)) {
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[--length] = 0;
    else if (!std::feof(file)) break;
    if (length > 0 && line[length - 1] == '\r') line[--length] = 0;
    const char* start = line;
    while (*start == ' ' || *start == '\t') start++;
    if (*start != '#') ApplyConfigLine(start, config);
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
  if (config.bitbasePath[0]) LoadBitbases(config.bitbasePath, config.bitbaseCache, config.bitbaseLoad);
  ReportBooksAndBitbases(config);
  return true;
}
