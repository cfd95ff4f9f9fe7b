// Shared by the tests: the board's tables made ready, moves and positions as text, games played
// with the board's own functions, and what the real binary printed (its move lines, the text
// of its log) or left in the files of its directory.
#pragma once
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include "board/board.h"
#include "engine/engine.h"
#include "engine_process.h"
#include "eval/eval.h"
#include "movegen/movegen.h"

inline const bool TablesReady = (InitTables(), InitPhaseTables(), true);

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Occurrences of part in text.
inline int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

// The text after marker up to the line end, for the first occurrence of marker after from.
inline std::string LineAfter(const std::string& log, const std::string& marker, size_t from = 0) {
  size_t at = log.find(marker, from);
  if (at == std::string::npos) return "";
  at += marker.size();
  return log.substr(at, log.find('\n', at) - at);
}

// Coordinate text of a move, "" for no move.
inline std::string Text(Move m) {
  char buffer[8] = "";
  if (m) MoveToText(m, buffer);
  return buffer;
}
inline std::string Fen() {
  char buffer[128];
  return {buffer, WriteFen(buffer)};
}

// Plays blank-separated coordinate moves as game moves; false at the first one refused.
inline bool Play(const std::string& moves) {
  std::istringstream words(moves);
  for (std::string word; words >> word;)
    if (!MakeRealMove(ReadCoordinateMove(word.c_str()))) return false;
  return true;
}
// Sets fen up as a new game and plays the moves.
inline bool Replay(const char* fen, const std::string& moves) { return SetupGame(fen) && Play(moves); }

// The legal moves of the position on the board, in the generator's order.
inline std::vector<Move> LegalMoves() {
  MoveEntry list[MaxMovesPerList];
  MoveEntry* end = GenerateMovesOrEvasions(list);
  std::vector<Move> moves;
  for (MoveEntry* e = list; e < end; e++)
    if (MoveIsLegal(e->Move)) moves.push_back(e->Move);
  return moves;
}

inline std::string Session(const std::string& commands) { return std::string(XboardHandshake) + commands; }

// What the engine printed after its answer to the handshake.
inline std::string AfterHandshake(const std::string& out) {
  size_t at = out.find("feature done=1\n");
  return at == std::string::npos ? out : out.substr(at + 15);
}

// The engine's move lines in order.
inline std::vector<std::string> EngineMoves(const std::string& out) {
  std::vector<std::string> moves;
  // The line end is looked ahead to, not taken, so that move lines in a row are all found.
  static const std::regex line("(^|\n)move ([a-h][1-8][a-h][1-8][qnrb]?)(?=\n)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it)
    moves.push_back((*it)[2]);
  return moves;
}

// The commands run between the handshake and quit in a fresh directory holding the files (and
// what the shell command prepare leaves there); the directory stays for the files written.
struct ToolRun : EngineRun {
  EngineProcess engine;
  ToolRun(const std::string& commands, const std::vector<std::pair<std::string, std::string>>& files = {},
          const std::string& prepare = "") {
    for (auto& [name, text] : files) engine.WriteFile(name, text);
    if (prepare.empty() || std::system(("cd " + engine.Directory() + " && " + prepare).c_str()) == 0)
      static_cast<EngineRun&>(*this) = RunEngine(engine, Session(commands + "quit\n"));
  }
  std::string File(const std::string& name) const { return engine.File(name); }
};
