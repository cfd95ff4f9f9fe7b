// The conversion commands: PGN collections into GAME and POS files and GAME files back into
// PGN and POS. Output is written a whole game at a time, so that a command ended by an error
// leaves its files complete up to the last game (or POS line) it wrote.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include "records/records.h"

namespace {

constexpr int ListLineLength = 255;  // longest PGN file name taken from a list file

// A file the commands write to, unbuffered, one whole game per write. A write that fails cuts
// the file back to its last whole game and raises an error.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (file_) std::fclose(file_);
  }

  // Opens name for appending, or anew; prints "Cannot create <kind> output file" on failure.
  bool Open(const std::string& name, const char* kind, bool anew) {
    name_ = name;
    kind_ = kind;
    file_ = std::fopen(name.c_str(), anew ? "wb" : "ab");
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

  void Append(const std::string& text) {
    if (text.empty()) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) {
      written_ += text.size();
      return;
    }
    std::error_code ignored;
    std::filesystem::resize_file(name_, written_, ignored);
    throw RecordError("Cannot write " + kind_ + " output file: '" + name_ + "'");
  }

 private:
  std::FILE* file_ = nullptr;
  std::string name_, kind_;
  uintmax_t written_ = 0;
};

bool OpenInput(std::ifstream& in, const char* name, const char* kind) {
  in.open(name, std::ios::binary);
  if (!in) std::printf("Cannot open %s input file: '%s'\n", kind, name);
  return static_cast<bool>(in);
}

struct Counts {
  int converted = 0, skipped = 0;
};

// Reads every game of a PGN file from the initial position; keep(record) writes a game read
// and returns false when it does not keep it. Prints the warnings and summary and logs the
// outcome; false when an error ended the conversion.
template <typename Keep>
bool ConvertPgnGames(std::istream& in, const char* pgnName, Keep keep) {
  static GameRecord record;
  Counts counts;
  SetupPosition(InitialFen);
  try {
    while (in >> std::ws, in.peek() != EOF) {
      if (ReadPgnGame(in, record) && keep(record)) {
        counts.converted++;
        continue;
      }
      counts.skipped++;
      std::printf("Warning: game %d (skipped) file: %s\n", counts.converted + counts.skipped, pgnName);
    }
  } catch (const RecordError& error) {
    std::printf("converted: %d games. (skipped: %d)\n", counts.converted, counts.skipped);
    std::printf("ERROR: %s file: %s\n", error.what(), pgnName);
    LogLine("converted: %d\tskipped: %d", counts.converted, counts.skipped);
    LogLine("ERROR: %s", error.what());
    return false;
  }
  std::printf("converted: %d games. (skipped: %d)\n", counts.converted, counts.skipped);
  std::printf("file: %s \t\tfinished\n", pgnName);
  LogLine("<<< OK:\t%s\t>>>", pgnName);
  return true;
}

enum class Outcome { Done, NoInput, Failed };

// pgn2game for one PGN file: new games appended to the GAME file, counted into total.
Outcome AppendPgnToGameFile(const char* pgnName, const char* gameName, int& total) {
  std::ifstream in;
  if (!OpenInput(in, pgnName, "PGN")) return Outcome::NoInput;
  OutputFile out;
  if (!out.Open(gameName, "GAME", false)) return Outcome::Failed;
  std::ifstream stored(gameName, std::ios::binary);
  if (!stored) {
    std::printf("Cannot create GAME output file: '%s'\n", gameName);
    return Outcome::Failed;
  }
  std::string bytes;
  bool finished = ConvertPgnGames(in, pgnName, [&](const GameRecord& record) {
    if (IsGameStored(stored, record)) return false;
    bytes.clear();
    WriteGameRecord(bytes, record);
    out.Append(bytes);
    total++;
    return true;
  });
  return finished ? Outcome::Done : Outcome::Failed;
}

// game2pgn and game2pos: every record of a checked GAME file through write(text, record),
// with a progress percentage; setUp puts the initial position on the board first.
template <typename Write>
void ConvertGameFile(const char* gameName, const char* outName, const char* kind, bool setUp, const char* done,
                     Write write) {
  std::ifstream in;
  if (!OpenInput(in, gameName, "GAME")) return;
  OutputFile out;
  if (!out.Open(outName, kind, false)) return;
  int n = CountGameRecords(in);
  if (n < 0) {
    std::printf("Game file corrupted! (error on game: %d)", -n);
    return;
  }
  if (setUp) SetupPosition(InitialFen);
  std::printf("Converting %d games [  0%%]...", n);
  static GameRecord record;
  std::string text;
  int converted = 0, shown = 0;
  try {
    while (ReadGameRecord(in, record)) {
      text.clear();
      write(text, record);
      out.Append(text);
      int percent = ++converted * 100 / n;
      if (percent > shown) std::printf("\b\b\b\b\b\b\b\b%3d%%]...", shown = percent);
    }
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
  OutputFile files[16];
  for (int i = 0; i < 16; i++) {
    char name[8];
    std::snprintf(name, sizeof name, "%X.pos", i);
    if (!files[i].Open(name, "POS", true)) return;
  }
  std::string lines[16];
  ConvertPgnGames(in, pgnName, [&](const GameRecord& record) {
    for (std::string& text : lines) text.clear();
    WriteGamePositionsByKey(lines, record);
    for (int i = 0; i < 16; i++) files[i].Append(lines[i]);
    return true;
  });
}

void Pgn2Game(const char* pgnName, const char* gameName) {
  int total = 0;
  AppendPgnToGameFile(pgnName, gameName, total);
}

void PgnList2Game(const char* listName, const char* gameName) {
  std::ifstream list;
  if (!OpenInput(list, listName, "PGN")) return;
  int total = 0;
  std::string name;
  while (std::getline(list, name)) {
    if (name.size() > ListLineLength) name.resize(ListLineLength);
    if (AppendPgnToGameFile(name.c_str(), gameName, total) == Outcome::Failed) return;
  }
  std::printf("\nCONVERTED GAMES: %d\n", total);
}

void Game2Pgn(const char* gameName, const char* pgnName) {
  ConvertGameFile(gameName, pgnName, "PGN", false, "OK\n", WritePgnGame);
}

void Game2Pos(const char* gameName, const char* posName) {
  ConvertGameFile(gameName, posName, "DB", true, "\tOK\n", WriteGamePositions);
}
