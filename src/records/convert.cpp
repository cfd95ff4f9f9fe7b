// The conversion commands: PGN collections into GAME and POS files and GAME files back into
// PGN and POS. Output is written a whole game at a time, so that a command ended by an error
// leaves its files complete up to the last game (or POS line) it wrote; the POS files of
// pgn2pos are made anew as one set that replaces the old files only when all were written
// whole. No output may be one of the command's inputs.
#include <sys/stat.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include "records/records.h"

namespace {

constexpr int ListLineLength = 255;  // longest PGN file name taken from a list file

// A write that failed; the files written are not made final.
struct WriteError : RecordError {
  using RecordError::RecordError;
};

// A file the commands append to, unbuffered, one whole game per write. A write that fails cuts
// the file back to its last whole game and raises an error.
class AppendedFile {
 public:
  AppendedFile() = default;
  AppendedFile(const AppendedFile&) = delete;
  AppendedFile& operator=(const AppendedFile&) = delete;
  ~AppendedFile() {
    if (file_) std::fclose(file_);
  }

  // Opens name for appending; prints "Cannot create <kind> output file" on failure.
  bool Open(const std::string& name, const char* kind) {
    name_ = name;
    kind_ = kind;
    file_ = std::fopen(name.c_str(), "ab");
    if (!file_) {
      std::printf("Cannot create %s output file: '%s'\n", kind, name.c_str());
      return false;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(name, error);
    written_ = error ? 0 : size;
    return true;
  }

  // Bytes in the file, those appended included.
  uintmax_t Size() const { return written_; }

  void Append(const std::string& text) {
    if (text.empty()) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) {
      written_ += text.size();
      return;
    }
    std::error_code ignored;
    std::filesystem::resize_file(name_, written_, ignored);
    throw WriteError("Cannot write " + kind_ + " output file: '" + name_ + "'");
  }

 private:
  std::FILE* file_ = nullptr;
  std::string name_, kind_;
  uintmax_t written_ = 0;
};

// Opens an input file; a directory, which would open and read as an empty file, is refused.
bool OpenInput(std::ifstream& in, const char* name, const char* kind) {
  struct stat info;
  if (stat(name, &info) != 0 || !S_ISDIR(info.st_mode)) in.open(name, std::ios::binary);
  if (!in.is_open()) std::printf("Cannot open %s input file: '%s'\n", kind, name);
  return in.is_open();
}

// False, with a message, when the output named is the input file itself (by any path).
bool DistinctOutput(const char* input, const char* output) {
  if (!IsSameFile(input, output)) return true;
  std::printf("Cannot write over the input file: '%s'\n", output);
  return false;
}

struct Counts {
  int converted = 0, skipped = 0;
};

// Reads every game of a PGN file from the initial position; keep(record) writes a game read
// and returns false when it does not keep it. commit() then makes the games written final (also
// those before an error in the PGN text, never after a failed write) and returns "" or its
// error. Prints the warnings and summary and logs the outcome; false when an error ended it.
template <typename Keep, typename Commit>
bool ConvertPgnGames(std::istream& in, const char* pgnName, Keep keep, Commit commit) {
  static GameRecord record;
  Counts counts;
  SetupPosition(InitialFen);
  std::string error;
  bool written = true;
  try {
    while (PgnGameAhead(in)) {
      if (ReadPgnGame(in, record) && keep(record)) {
        counts.converted++;
        continue;
      }
      counts.skipped++;
      std::printf("Warning: game %d (skipped) file: %s\n", counts.converted + counts.skipped, pgnName);
    }
    if (in.bad()) throw RecordError("Cannot read the input");
  } catch (const WriteError& failed) {
    error = failed.what();
    written = false;
  } catch (const RecordError& failed) {
    error = failed.what();
  }
  if (std::string failure = written ? commit() : ""; !failure.empty()) error += (error.empty() ? "" : "; ") + failure;
  std::printf("converted: %d games. (skipped: %d)\n", counts.converted, counts.skipped);
  if (!error.empty()) {
    std::printf("ERROR: %s file: %s\n", error.c_str(), pgnName);
    LogLine("converted: %d\tskipped: %d", counts.converted, counts.skipped);
    LogLine("ERROR: %s", error.c_str());
    return false;
  }
  std::printf("file: %s \t\tfinished\n", pgnName);
  LogLine("<<< OK:\t%s\t>>>", pgnName);
  return true;
}

enum class Outcome { Done, NoInput, Failed };

// pgn2game for one PGN file: new games appended to the GAME file, counted into total.
Outcome AppendPgnToGameFile(const char* pgnName, const char* gameName, int& total) {
  std::ifstream in;
  if (!OpenInput(in, pgnName, "PGN") || !DistinctOutput(pgnName, gameName)) return Outcome::NoInput;
  AppendedFile out;
  if (!out.Open(gameName, "GAME")) return Outcome::Failed;
  std::ifstream stored(gameName, std::ios::binary);
  if (!stored) {
    std::printf("Cannot create GAME output file: '%s'\n", gameName);
    return Outcome::Failed;
  }
  std::string bytes;
  StoredGames games;
  bool loaded = false;
  auto keep = [&](const GameRecord& record) {
    // Read on the first game, so that a corrupt GAME file is reported as the conversion's error.
    if (!loaded) {
      games.Load(stored);
      loaded = true;
    }
    if (games.Contains(stored, record)) return false;
    bytes.clear();
    WriteGameRecord(bytes, record);
    games.Add(stored, record, out.Size());
    out.Append(bytes);
    total++;
    return true;
  };
  return ConvertPgnGames(in, pgnName, keep, [] { return std::string(); }) ? Outcome::Done : Outcome::Failed;
}

// Puts back the game that was on the board when it goes out of scope, if asked to.
struct BoardKeeper {
  bool keep;
  ~BoardKeeper() {
    if (keep) RestorePreviousGame();
  }
};

// game2pgn and game2pos: every record of a checked GAME file through write(text, record), with
// a progress percentage, from the initial position; keepBoard puts the old game back afterwards.
template <typename Write>
void ConvertGameFile(const char* gameName, const char* outName, const char* kind, bool keepBoard, const char* done,
                     Write write) {
  std::ifstream in;
  if (!OpenInput(in, gameName, "GAME") || !DistinctOutput(gameName, outName)) return;
  AppendedFile out;
  if (!out.Open(outName, kind)) return;
  int n = CountGameRecords(in);
  if (n < 0) {
    std::printf("Game file corrupted! (error on game: %d)", -n);
    return;
  }
  SetupPosition(InitialFen);
  BoardKeeper board{keepBoard};
  std::printf("Converting %d games [  0%%]...", n);
  static GameRecord record;
  std::string text;
  int converted = 0, shown = 0;
  try {
    // Only the records counted are read: the file may have changed since.
    while (converted < n && ReadGameRecord(in, record)) {
      text.clear();
      write(text, record);
      out.Append(text);
      int percent = ++converted * 100 / n;
      if (percent > shown) std::printf("\b\b\b\b\b\b\b\b%3d%%]...", shown = percent);
    }
    if (converted < n)
      throw RecordError("Cannot read GAME input file: '" + std::string(gameName) + "' (game " +
                        std::to_string(converted + 1) + " of " + std::to_string(n) + ")");
  } catch (const RecordError& error) {
    std::printf("ERROR: %s\n", error.what());
    std::printf("converted: %d games.\n", converted);
    return;
  }
  std::printf("%s", done);
  std::printf("converted: %d games.\n", converted);
}

}  // namespace

void Pgn2Pos(const char* pgnName) {
  std::ifstream in;
  if (!OpenInput(in, pgnName, "PGN")) return;
  std::string names[16];
  for (int i = 0; i < 16; i++) {
    char name[8];
    std::snprintf(name, sizeof name, "%X.pos", i);
    names[i] = name;
    if (!DistinctOutput(pgnName, name)) return;
  }
  NewFileSet set;
  std::FILE* files[16];
  for (int i = 0; i < 16; i++)
    if (!(files[i] = set.Add(names[i]))) {
      std::printf("Cannot create POS output file: '%s'\n", names[i].c_str());
      return;
    }
  std::string lines[16];
  auto keep = [&](const GameRecord& record) {
    for (std::string& text : lines) text.clear();
    WriteGamePositionsByKey(lines, record);
    for (int i = 0; i < 16; i++)
      if (std::fwrite(lines[i].data(), 1, lines[i].size(), files[i]) != lines[i].size())
        throw WriteError("Cannot write POS output file: '" + names[i] + "'");
    return true;
  };
  ConvertPgnGames(in, pgnName, keep,
                  [&] { return set.Commit() ? std::string() : "Cannot write POS output file: '" + set.Failed() + "'"; });
}

void Pgn2Game(const char* pgnName, const char* gameName) {
  int total = 0;
  AppendPgnToGameFile(pgnName, gameName, total);
}

// Every name of the list, one a line (a Windows line end is read as a line end; blank lines
// are passed over), goes through pgn2game; a name too long is refused.
void PgnList2Game(const char* listName, const char* gameName) {
  std::ifstream list;
  if (!OpenInput(list, listName, "PGN") || !DistinctOutput(listName, gameName)) return;
  int total = 0;
  std::string name;
  while (std::getline(list, name)) {
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (name.empty()) continue;
    if (name.size() > ListLineLength)
      std::printf("File name too long (max %d characters accepted): '%.*s...'\n", ListLineLength, ListLineLength,
                  name.c_str());
    else if (AppendPgnToGameFile(name.c_str(), gameName, total) == Outcome::Failed)
      return;
  }
  if (list.bad()) {
    std::printf("ERROR: Cannot read the input file: %s\n", listName);
    return;
  }
  std::printf("\nCONVERTED GAMES: %d\n", total);
}

void Game2Pgn(const char* gameName, const char* pgnName) {
  ConvertGameFile(gameName, pgnName, "PGN", true, "OK\n", [](std::string& text, const GameRecord& record) {
    CheckGameMoves(record);
    WritePgnGame(text, record);
  });
}

void Game2Pos(const char* gameName, const char* posName) {
  ConvertGameFile(gameName, posName, "DB", false, "\tOK\n", WriteGamePositions);
}
