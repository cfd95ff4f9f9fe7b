// Shared by the tests that play through the binary: the engine's move lines, the handshake,
// and a replay of the game here with the board's own functions.
#pragma once
#include <regex>
#include <string>
#include <vector>
#include "board/board.h"
#include "engine/engine.h"
#include "engine_process.h"
#include "eval/eval.h"
#include "movegen/movegen.h"

inline const bool TablesInitialised = (InitTables(), InitPhaseTables(), true);

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string Session(const std::string& commands) { return std::string(XboardHandshake) + commands; }

// The engine's move lines in order.
inline std::vector<std::string> EngineMoves(const std::string& out) {
  std::vector<std::string> moves;
  static const std::regex line("(^|\n)move ([a-h][1-8][a-h][1-8][qnrb]?)\n");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it)
    moves.push_back((*it)[2]);
  return moves;
}

// Plays one coordinate move on the board here; false when it is not legal.
inline bool PlayText(const std::string& text) { return MakeRealMove(ReadCoordinateMove(text.c_str())); }

// Sets up fen and plays moves with the board's functions; false when one is illegal.
inline bool Replay(const char* fen, const std::vector<std::string>& moves) {
  if (!SetupGame(fen)) return false;
  for (const std::string& text : moves)
    if (!PlayText(text)) return false;
  return true;
}

inline std::string CurrentFen() {
  char fen[128];
  WriteFen(fen);
  return fen;
}

inline std::vector<std::string> LegalMoves() {
  MoveEntry list[MaxMovesPerList];
  CheckInfo check;
  ComputeCheckers(&check);
  MoveEntry* end = check.checkers ? GenerateEvasions(list, &check) : GenerateMoves(list);
  std::vector<std::string> moves;
  for (MoveEntry* e = list; e < end; e++)
    if (MoveIsLegal(e->Move)) {
      char text[8];
      MoveToText(e->Move, text);
      moves.push_back(text);
    }
  return moves;
}

// The text after marker up to the line end, for the first occurrence of marker after from.
inline std::string LineAfter(const std::string& log, const std::string& marker, size_t from = 0) {
  size_t at = log.find(marker, from);
  if (at == std::string::npos) return "";
  at += marker.size();
  return log.substr(at, log.find('\n', at) - at);
}

// Occurrences of part in text.
inline int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}
