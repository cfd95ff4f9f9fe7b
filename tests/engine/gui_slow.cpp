// What the chess interfaces of Debian send, replayed through the real binary: each script is
// a transcript of one interface's start and game, with the pauses that matter. The test keeps
// the interface's own board: every move the engine plays must be legal there, so a takeback
// that leaves the engine out of step fails at its next move; and every ping sent must be
// answered, in order.
//
// Script lines: "> TEXT" sends a line ("@" in it stands for a legal move of the interface's
// position, its first in the generator's order); "< move" waits for the engine's next move;
// "< think" for a thinking line whose first move is legal in the interface's position (the
// engine thinks about the right board); "< Hint:" for a hint of a legal move; "< TEXT" for a
// line beginning with TEXT; "~ N" waits N milliseconds; "! TEXT": no line of the whole output
// begins with TEXT ("! think": no thinking line). The engine plays exactly the moves awaited.
#include <gtest/gtest.h>
#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "../support/game_support.h"

namespace {

// The game as the interface sees it: the start and the moves since.
struct InterfaceBoard {
  std::string fen = InitialFen;
  std::vector<std::string> moves;

  std::string Joined() const {
    std::string text;
    for (const std::string& m : moves) text += m + " ";
    return text;
  }
  bool IsLegal(const std::string& word) {
    if (!Replay(fen.c_str(), Joined())) return false;
    Move m = ReadCoordinateMove(word.c_str());
    return m && MoveIsLegal(m);
  }
  // Plays word if it is a legal move here; false otherwise.
  bool Play(const std::string& word) {
    if (!IsLegal(word)) return false;
    moves.push_back(word);
    return true;
  }
  std::string AnyMove() {
    Replay(fen.c_str(), Joined());
    std::vector<Move> legal = LegalMoves();
    return legal.empty() ? "none" : Text(legal.front());
  }
  void TakeBack(size_t plies) { moves.resize(moves.size() - std::min(plies, moves.size())); }
};

// Lines of out from line index from on; the index of the first that begins with text, or -1.
int FindLine(const std::vector<std::string>& lines, size_t from, const std::string& text) {
  for (size_t i = from; i < lines.size(); i++)
    if (lines[i].rfind(text, 0) == 0) return static_cast<int>(i);
  return -1;
}

// A thinking line: depth, score, time, nodes, then the variation.
const std::regex ThinkingLine(R"(^ +\d+ +-?\d+ +\d+ +\d+ +(\S+))");

int FindThinking(const std::vector<std::string>& lines, size_t from) {
  for (size_t i = from; i < lines.size(); i++)
    if (std::regex_search(lines[i], ThinkingLine)) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream stream(out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

struct Transcript {
  const char* interface;
  const char* script;
};

// How each interface starts an engine, plays, takes back and ends a game (read from their
// sources; times are kept short so that the engine answers within a second).
const Transcript Transcripts[] = {
    // xboard 4.9: the handshake answered feature by feature, a game with the engine as black,
    // Retract Move (remove) while it ponders, then Edit Game (force, undo) and a forfeit.
    {"xboard", "> xboard\n> protover 2\n< feature done=1\n> accepted setboard\n> accepted ping\n> accepted done\n"
               "> new\n> random\n> level 40 0:30 0\n> post\n> hard\n> ping 1\n< pong 1\n"
               "> time 3000\n> otim 3000\n> e2e4\n< move\n> time 2950\n> otim 2950\n> @\n< move\n~ 300\n"
               "> remove\n> ping 2\n< pong 2\n> time 2900\n> otim 2900\n> @\n< move\n"
               "> force\n> undo\n> undo\n> @\n> ping 3\n< pong 3\n> time 2800\n> otim 2800\n> go\n< move\n"
               "> result 1-0 {Xboard: Forfeit due to illegal move: g1f3 (g1f3)}\n> ping 4\n< pong 4\n~ 500\n"
               "! Illegal\n"},
    // eboard 1.1: never answers the features, waits for done=1; a fixed time per move; usermove.
    {"eboard", "> xboard\n> protover 2\n< feature done=1\n> new\n> hard\n> st 1\n> ping 1\n< pong 1\n"
               "> usermove d2d4\n< move\n> usermove @\n< move\n> remove\n> usermove @\n< move\n! Illegal\n"},
    // gnome-chess 43: xboard and its options at once, never protover, no clock; the user's first
    // move follows at once; undo of the user's move and the engine's.
    {"gnome-chess", "> xboard\n> random\n> easy\n> sd 2\n> e2e4\n< move\n> @\n< move\n> force\n> undo\n> undo\n"
                    "> @\n> go\n< move\n! Illegal\n"},
    // knights 22.12: depth and memory options before any protover; the engine plays white.
    {"knights", "> xboard\n> depth 3\n> memory 32\n> sd 3\n> go\n< move\n> @\n< move\n> remove\n> @\n< move\n! Illegal\n"},
    // dreamchess 0.3: the side to move sent in a pair before go.
    {"dreamchess", "> xboard\n> new\n> random\n> sd 2\n> force\n> e2e4\n> black\n> white\n> black\n> go\n< move\n"
                   "> @\n< move\n! Illegal\n"},
    // scid 4.7 in its automatic mode: uci first, xboard two seconds later.
    {"scid", "> uci\n~ 2000\n> xboard\n> protover 2\n< feature done=1\n> accepted ping\n> post\n> ping 7\n< pong 7\n"
             "> setboard r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\n> st 1\n> go\n< move\n"
             "! Illegal\n"},
    // pychess 1.0: accepts every feature, then new, options, a clock; the user plays black
    // after setboard; two undos in force mode.
    {"pychess", "> xboard\n> protover 2\n< feature done=1\n> accepted myname\n> accepted setboard\n> accepted ping\n"
                "> accepted colors\n> rejected sigint\n> accepted done\n> new\n> post\n> level 0 1 0\n> easy\n"
                "> force\n> setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1\n> time 500\n> otim 500\n"
                "> go\n< move\n> @\n> time 490\n> otim 480\n< move\n> force\n> undo\n> undo\n> @\n> go\n< move\n"
                "> result 1/2-1/2 {?}\n! Illegal\n"},
    // xboard's Analysis mode: the board analysed, then a move made and taken back on it, with the
    // periodic status requests; exit leaves the engine on the last position.
    {"xboard analysis", "> xboard\n> protover 2\n< feature done=1\n> accepted analyze\n> new\n> force\n> post\n"
                        "> analyze\n< think\n> .\n< stat01: \n> e2e4\n> ping 1\n< pong 1\n< think\n> hint\n< Hint:\n"
                        "> undo\n> ping 2\n< pong 2\n< think\n> exit\n> @\n> ping 3\n< pong 3\n! Illegal\n! move\n"},
    // scid 4.7: its automatic mode starts with uci; then setboard and analyze; its window's
    // fallback when analysis fails would be st 120000 and sd 50 with go.
    {"scid analysis", "> uci\n~ 2000\n> xboard\n> protover 2\n< feature done=1\n> post\n"
                      "> setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\n> analyze\n< think\n< think\n"
                      "> exit\n> ping 1\n< pong 1\n! Illegal\n"},
    // pychess's hint and spy analysers: each new position ends the analysis with exit and an
    // empty board (refused, the position stays) before the next setboard and analyze.
    {"pychess spy", "> xboard\n> protover 2\n< feature done=1\n> accepted analyze\n> accepted done\n> new\n"
                    "> post\n> force\n> setboard rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1\n"
                    "> post\n> analyze\n< think\n> exit\n> setboard 8/8/8/8/8/8/8/8 w - - 0 1\n"
                    "< tellusererror Illegal position\n> force\n"
                    "> setboard rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2\n> post\n> analyze\n"
                    "> ping 1\n< pong 1\n< think\n> bk\n< \tno book moves\n> exit\n! Illegal\n"},
    // Thinking lines off while playing, and a hint after the engine's move.
    {"nopost and hint", "> xboard\n> protover 2\n< feature done=1\n> new\n> nopost\n> easy\n> st 1\n> e2e4\n< move\n"
                        "> hint\n< Hint:\n! think\n"},
};

TEST(Interfaces, TranscriptsKeepTheEngineInStepAndAnswerPingsInOrder) {
  for (const Transcript& t : Transcripts) {
    SCOPED_TRACE(t.interface);
    EngineProcess engine;
    engine.Start();
    InterfaceBoard board;
    std::vector<std::string> pings, absent;
    int movesAwaited = 0;
    size_t next = 0;  // the first output line not yet consumed
    std::istringstream script(t.script);
    for (std::string line; std::getline(script, line);) {
      std::string text = line.substr(2);
      if (line[0] == '>') {
        for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@')) text.replace(at, 1, board.AnyMove());
        std::string word = text.rfind("usermove ", 0) == 0 ? text.substr(9) : text;
        if (text == "undo") board.TakeBack(1);
        else if (text == "remove") board.TakeBack(2);
        else if (text == "new") board = InterfaceBoard();
        else if (text.rfind("setboard ", 0) == 0) board = InterfaceBoard{text.substr(9), {}};
        else if (text.rfind("ping ", 0) == 0) pings.push_back("pong " + text.substr(5));
        else board.Play(word);
        engine.Send(text + "\n");
      } else if (line[0] == '<') {
        int at = -1;
        ASSERT_TRUE(engine.WaitForOutputWhere([&](const std::string& out) {
          return (at = text == "think" ? FindThinking(Lines(out), next) : FindLine(Lines(out), next, text)) >= 0;
        })) << line << "\n" << engine.Output();
        next = at + 1;
        std::string found = Lines(engine.Output())[at];
        std::smatch thinking;
        if (text == "move") {
          movesAwaited++;
          EXPECT_TRUE(board.Play(found.substr(5))) << found << " is not legal after " << board.Joined();
        } else if (text == "Hint:") {
          EXPECT_TRUE(board.IsLegal(found.substr(6))) << found << " after " << board.Joined();
        } else if (std::regex_search(found, thinking, ThinkingLine)) {
          EXPECT_TRUE(board.IsLegal(thinking[1])) << found << " after " << board.Joined();
        }
      } else if (line[0] == '~') {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(text)));
      } else {
        absent.push_back(text);
      }
    }
    engine.Send("quit\n");
    EXPECT_EQ(engine.Finish(), 0);
    std::vector<std::string> lines = Lines(engine.Output()), pongs;
    for (const std::string& l : lines)
      if (l.rfind("pong", 0) == 0) pongs.push_back(l);
    EXPECT_EQ(pongs, pings);
    EXPECT_EQ(static_cast<int>(EngineMoves(engine.Output()).size()), movesAwaited);  // none after a result
    for (const std::string& text : absent)
      EXPECT_EQ(text == "think" ? FindThinking(lines, 0) : FindLine(lines, 0, text), -1) << text << "\n" << engine.Output();
  }
}

}  // namespace
