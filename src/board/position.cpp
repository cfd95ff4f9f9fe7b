// The global position: FEN setup, FEN writer, board display and the consistency check.
#include <cstdio>
#include <cstring>
#include "board/board.h"

PositionState Position = [] {
  PositionState p{};
  p.SideToMove = White;
  return p;
}();
KeyHistoryEntry KeyHistory[KeyHistorySize];
int HistoryTop = 0;
uint8_t RootBoard[64];
uint8_t RootEpSquare;
uint16_t RootCastleRights;
uint8_t RootKingSquare[2];
int32_t RootSideToMove = White;
uint16_t GamePly = 1, SearchAge = 1;
PlyRecord PlyRecords[PlyRecordCount + 1];
PlyRecord* CurrentPly = &PlyRecords[1];

namespace {

constexpr int NoKing = 100;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) p++;
  return p;
}

// PieceCode of a FEN piece letter, 0 for any other character.
int CodeOfLetter(char c) {
  const char* at = c ? std::strchr(PieceLetters + 1, c) : nullptr;
  return at ? static_cast<int>(at - PieceLetters) : 0;
}

void PlacePiece(PositionState& p, int code, int s) {
  int colour = PieceColour(code);
  p.Board[s] = static_cast<uint8_t>(code);
  p.PositionKey ^= ZobristKeys[code][s];
  if (code >= WhiteKing) {
    p.KingSquare[colour] = static_cast<uint8_t>(s);
    return;
  }
  p.PieceBoard[code] |= SquareMask[s];
  p.TotalMaterial = static_cast<uint8_t>(p.TotalMaterial + MaterialUnits[code]);
  if (code <= BlackPawn) {
    p.PawnKey ^= static_cast<uint32_t>(ZobristKeys[code][s]);
    p.PawnCount[colour]++;
  } else {
    p.PieceMaterial[colour] = static_cast<uint8_t>(p.PieceMaterial[colour] + MaterialUnits[code]);
  }
}

// Piece placement field; false on a character out of place or more than 64 squares.
const char* ReadPlacement(const char* p, PositionState& pos) {
  int square = 0;
  while (square < 64) {
    char c = *p++;
    if (c == '/') continue;
    if (c >= '1' && c <= '8') {
      square += c - '0';
      if (square > 64) return nullptr;
      continue;
    }
    int code = CodeOfLetter(c);
    if (code == 0) return nullptr;
    PlacePiece(pos, code, square++);
  }
  return p;
}

// En-passant field: only a target square the side to move can actually use is kept.
uint8_t ReadEpSquare(const char* p, const PositionState& pos) {
  if (p[0] < 'a' || p[0] > 'h' || p[1] < '1' || p[1] > '8') return 0;
  int s = (p[0] - 'a') + 8 * ('8' - p[1]);
  int pawnSquare = pos.SideToMove == White ? s + 8 : s - 8;
  bool onRank = pos.SideToMove == White ? (s >= 16 && s < 24) : (s >= 40 && s < 48);
  int enemyPawn = pos.SideToMove == White ? BlackPawn : WhitePawn;
  if (!onRank || pos.Board[pawnSquare] != enemyPawn || pos.Board[s] != Empty) return 0;
  return static_cast<uint8_t>(s);
}

// The first "am"/"bm" operation after the FEN fields, taken only when its move text ends in ';' or a blank.
EpdOperation ReadEpdOperation(const char* p) {
  EpdOperation op{};
  while (*p && *p != 'a' && *p != 'b') p++;
  if (!*p || p[1] != 'm' || p[2] != ' ' || !p[3]) return op;
  const char* text = p + 3;
  int n = 0;
  while (n < 9 && text[n] && text[n] != ';' && text[n] != ' ') n++;
  if (text[n] != ';' && text[n] != ' ') return op;
  op.kind = p[0];
  std::memcpy(op.text, text, n);
  return op;
}

// Rights whose king and rook are not on their home squares cannot be used.
uint16_t UsableRights(const PositionState& p, uint16_t rights) {
  struct { uint16_t right; int king, kingSquare, rook, rookSquare; } const homes[4] = {
      {RightWhiteShort, WhiteKing, E1, WhiteRook, H1}, {RightWhiteLong, WhiteKing, E1, WhiteRook, A1},
      {RightBlackShort, BlackKing, E8, BlackRook, H8}, {RightBlackLong, BlackKing, E8, BlackRook, A8}};
  for (auto& h : homes)
    if (p.Board[h.kingSquare] != h.king || p.Board[h.rookSquare] != h.rook) rights &= ~h.right;
  return rights;
}

// Piece counts a game can reach: one king, at most 8 pawns, promoted pieces paid for by missing pawns.
bool MaterialIsReachable(const PositionState& p, int colour) {
  int count[13] = {};
  for (int s = 0; s < 64; s++)
    if (p.Board[s] && PieceColour(p.Board[s]) == colour) count[p.Board[s]]++;
  auto extra = [&](int code, int usual) { return count[code] > usual ? count[code] - usual : 0; };
  int pawns = count[2 - colour];
  int promoted = extra(4 - colour, 2) + extra(6 - colour, 2) + extra(8 - colour, 2) + extra(10 - colour, 1);
  return count[12 - colour] == 1 && pawns <= 8 && promoted <= 8 - pawns;
}

bool BoardIsPlayable(const PositionState& p) {
  constexpr Bitboard EdgeRanks = 0xFF000000000000FFULL;
  if (!MaterialIsReachable(p, White) || !MaterialIsReachable(p, Black)) return false;
  if ((p.PieceBoard[WhitePawn] | p.PieceBoard[BlackPawn]) & EdgeRanks) return false;
  return !(KingAttacks[p.KingSquare[White]] & SquareMask[p.KingSquare[Black]]);
}

void DeriveBoards(PositionState& p) {
  p.ColourBoard[Black] = SquareMask[p.KingSquare[Black]];
  p.ColourBoard[White] = SquareMask[p.KingSquare[White]];
  for (int code = WhitePawn; code <= BlackQueen; code++) p.ColourBoard[PieceColour(code)] |= p.PieceBoard[code];
  p.Occupied = p.ColourBoard[Black] | p.ColourBoard[White];
  p.OccupiedR90 = RotateR90(p.Occupied);
  p.OccupiedR45 = RotateR45(p.Occupied);
  p.OccupiedL45 = RotateL45(p.Occupied);
}

// Everything a setup replaces, kept so that a refused setup can put it back.
struct GameState {
  PositionState position;
  KeyHistoryEntry history[KeyHistorySize];
  int historyTop;
  uint8_t rootBoard[64], rootEpSquare, rootKingSquare[2];
  uint16_t rootCastleRights, gamePly, searchAge;
  int32_t rootSideToMove;
};
GameState SavedGame;

void SaveGame(GameState& g) {
  g.position = Position;
  std::memcpy(g.history, KeyHistory, sizeof KeyHistory);
  g.historyTop = HistoryTop;
  std::memcpy(g.rootBoard, RootBoard, 64);
  g.rootEpSquare = RootEpSquare;
  std::memcpy(g.rootKingSquare, RootKingSquare, 2);
  g.rootCastleRights = RootCastleRights;
  g.rootSideToMove = RootSideToMove;
  g.gamePly = GamePly;
  g.searchAge = SearchAge;
}

void RestoreGame(const GameState& g) {
  Position = g.position;
  std::memcpy(KeyHistory, g.history, sizeof KeyHistory);
  HistoryTop = g.historyTop;
  std::memcpy(RootBoard, g.rootBoard, 64);
  RootEpSquare = g.rootEpSquare;
  std::memcpy(RootKingSquare, g.rootKingSquare, 2);
  RootCastleRights = g.rootCastleRights;
  RootSideToMove = g.rootSideToMove;
  GamePly = g.gamePly;
  SearchAge = g.searchAge;
}

void TakeRootSnapshot() {
  RootEpSquare = Position.EpSquare;
  RootKingSquare[White] = Position.KingSquare[White];
  RootKingSquare[Black] = Position.KingSquare[Black];
  RootCastleRights = Position.CastleRights;
  RootSideToMove = Position.SideToMove;
  std::memcpy(RootBoard, Position.Board, 64);
}

// Parses the FEN fields into p; nullptr when the text is not a usable position.
const char* ParseFen(const char* text, PositionState& p) {
  p = PositionState{};
  p.KingSquare[White] = p.KingSquare[Black] = NoKing;
  p.SideToMove = White;
  const char* at = ReadPlacement(SkipBlanks(text), p);
  if (!at) return nullptr;
  at = SkipBlanks(at);
  if (*at == 'w' || *at == 'W') p.SideToMove = White;
  else if (*at == 'b' || *at == 'B') p.SideToMove = Black;
  else return nullptr;
  at = SkipBlanks(at + 1);
  uint16_t rights = 0;
  for (int n = 0; n < 4 && *at; n++) {
    char c = *at++;
    uint16_t right = c == 'K' ? RightWhiteShort : c == 'Q' ? RightWhiteLong : c == 'k' ? RightBlackShort
                   : c == 'q' ? RightBlackLong : 0;
    if (!right) break;
    rights |= right;
  }
  p.CastleRights = UsableRights(p, rights);
  // Keyed as the move maker keys them: each right that is gone adds its key.
  for (uint16_t right : CastleRightBits)
    if (!(p.CastleRights & right)) p.PositionKey ^= ZobristKeys[0][RightKeySquare(right)];
  at = SkipBlanks(at);
  if (*at == '-') return at + 1;
  if (*at && at[1]) {
    // Keyed as the move maker keys it, so that the position has the same key however it came.
    p.EpSquare = ReadEpSquare(at, p);
    if (p.EpSquare) {
      p.PositionKey ^= ZobristKeys[0][p.EpSquare];
      p.PawnKey ^= static_cast<uint32_t>(ZobristKeys[0][p.EpSquare]);
    }
    return at + 2;
  }
  return at;
}

}  // namespace

bool SetupPosition(const char* text, EpdOperation* epd) {
  PositionState parsed;
  const char* rest = ParseFen(text, parsed);
  if (!rest || !BoardIsPlayable(parsed)) return false;
  EpdOperation op = ReadEpdOperation(rest);
  DeriveBoards(parsed);

  SaveGame(SavedGame);
  Position = parsed;
  // The side that has just moved may not be left in check.
  if (KingAttackedAfterMove(0, Position.SideToMove ^ 1)) {
    RestoreGame(SavedGame);
    return false;
  }
  std::memset(KeyHistory, 0, sizeof KeyHistory);
  HistoryTop = 0;
  KeyHistory[0].Key = Position.PositionKey;
  TakeRootSnapshot();
  GamePly = 1;
  SearchAge = 1;
  if (epd) *epd = op;
  return true;
}

void RestorePreviousGame() { RestoreGame(SavedGame); }

char* WriteFen(char* buffer) {
  char* out = buffer;
  for (int r = 0; r < 8; r++) {
    if (r) *out++ = '/';
    int empty = 0;
    for (int f = 0; f < 8; f++) {
      int code = Position.Board[8 * r + f];
      if (!code) {
        empty++;
        continue;
      }
      if (empty) *out++ = static_cast<char>('0' + empty);
      empty = 0;
      *out++ = PieceLetters[code];
    }
    if (empty) *out++ = static_cast<char>('0' + empty);
  }
  *out++ = ' ';
  *out++ = Position.SideToMove == White ? 'w' : 'b';
  *out++ = ' ';
  if (!Position.CastleRights) *out++ = '-';
  if (Position.CastleRights & RightWhiteShort) *out++ = 'K';
  if (Position.CastleRights & RightWhiteLong) *out++ = 'Q';
  if (Position.CastleRights & RightBlackShort) *out++ = 'k';
  if (Position.CastleRights & RightBlackLong) *out++ = 'q';
  *out++ = ' ';
  if (Position.EpSquare) {
    *out++ = static_cast<char>('a' + FileIndex(Position.EpSquare));
    *out++ = static_cast<char>('8' - RankIndex(Position.EpSquare));
  } else {
    *out++ = '-';
  }
  *out = 0;
  return out;
}

void PrintBoard(const uint8_t* board) {
  for (int s = 0; s < 64; s++) {
    if (FileIndex(s) == 0) std::printf("\n%d ", 8 - RankIndex(s));
    std::printf("%c ", board[s] <= BlackKing ? PieceLetters[board[s]] : '?');
  }
  std::printf("\n\n  A B C D E F G H\n");
}

bool PositionIsConsistent() {
  const PositionState& p = Position;
  PositionState fresh{};
  fresh.KingSquare[White] = fresh.KingSquare[Black] = NoKing;
  for (int s = 0; s < 64; s++)
    if (p.Board[s]) {
      if (p.Board[s] > BlackKing) return false;
      PlacePiece(fresh, p.Board[s], s);
    }
  if (fresh.KingSquare[White] == NoKing || fresh.KingSquare[Black] == NoKing) return false;
  DeriveBoards(fresh);
  bool same = std::memcmp(fresh.PieceBoard, p.PieceBoard, sizeof p.PieceBoard) == 0 &&
              std::memcmp(fresh.ColourBoard, p.ColourBoard, sizeof p.ColourBoard) == 0 &&
              fresh.Occupied == p.Occupied && fresh.OccupiedR90 == p.OccupiedR90 &&
              fresh.OccupiedR45 == p.OccupiedR45 && fresh.OccupiedL45 == p.OccupiedL45 &&
              fresh.KingSquare[White] == p.KingSquare[White] && fresh.KingSquare[Black] == p.KingSquare[Black] &&
              fresh.TotalMaterial == p.TotalMaterial &&
              std::memcmp(fresh.PieceMaterial, p.PieceMaterial, 2) == 0 &&
              std::memcmp(fresh.PawnCount, p.PawnCount, 2) == 0;
  return same && (p.SideToMove == White || p.SideToMove == Black);
}
