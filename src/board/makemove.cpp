// Making and unmaking moves on the global position, game moves, and coordinate move text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "board/board.h"

namespace {

constexpr int EpOffset[2] = {-8, 8};  // captured pawn of an en-passant capture: to + offset[mover]
constexpr int PromotedBase[4] = {10, 4, 8, 6};  // queen, knight, rook, bishop; minus SideToMove
constexpr int PromotionGain[4] = {8, 2, 4, 2};

struct CastleGeometry {
  int kingFrom, kingTo, rookFrom, rookTo;
  uint16_t ownWing, otherWing;
  uint64_t key;
};
// Indexed by kind - 12.
constexpr CastleGeometry Castles[4] = {
    {E8, G8, H8, F8, RightBlackShort, RightBlackLong, 0x22692CDAAF02389CULL},
    {E1, G1, H1, F1, RightWhiteShort, RightWhiteLong, 0x9FF1351D4A1C52C3ULL},
    {E8, C8, A8, D8, RightBlackLong, RightBlackShort, 0x07013B34D7483F81ULL},
    {E1, C1, A1, D1, RightWhiteLong, RightWhiteShort, 0xFEADFA9358A94FA6ULL},
};

inline void DropRight(uint16_t right) {
  Position.CastleRights &= ~right;
  Position.PositionKey ^= ZobristKeys[0][RightKeySquare(right)];
}
inline void DropRightIfHeld(uint16_t right) {
  if (Position.CastleRights & right) DropRight(right);
}

// A capture on a corner takes away the right of that corner's rook.
inline void DropCornerRight(int to) {
  if (!Position.CastleRights) return;
  uint16_t right = to == A8 ? RightBlackLong : to == H8 ? RightBlackShort : to == A1 ? RightWhiteLong
                 : to == H1 ? RightWhiteShort : 0;
  if (right) DropRightIfHeld(right);
}

inline void ToggleRotated(int s) {
  Position.OccupiedR90 ^= SquareMaskR90[s];
  Position.OccupiedR45 ^= SquareMaskR45[s];
  Position.OccupiedL45 ^= SquareMaskL45[s];
}
inline void SetRotated(int s) {
  Position.OccupiedR90 |= SquareMaskR90[s];
  Position.OccupiedR45 |= SquareMaskR45[s];
  Position.OccupiedL45 |= SquareMaskL45[s];
}
inline void ClearRotated(int s) {
  Position.OccupiedR90 &= ~SquareMaskR90[s];
  Position.OccupiedR45 &= ~SquareMaskR45[s];
  Position.OccupiedL45 &= ~SquareMaskL45[s];
}
inline void XorKeys(int code, int s) {
  Position.PositionKey ^= ZobristKeys[code][s];
  if (code <= BlackPawn) Position.PawnKey ^= static_cast<uint32_t>(ZobristKeys[code][s]);
}

// Removes the piece the move captures on to (not en passant).
inline void TakeVictim(int to, int side, PlyRecord* record) {
  int x = Position.Board[to];
  record->CapturedCode = static_cast<uint8_t>(x);
  Position.PieceBoard[x] &= ~SquareMask[to];
  Position.ColourBoard[side] &= ~SquareMask[to];
  XorKeys(x, to);
  DropCornerRight(to);
}

// Moves the piece of a quiet move or a plain capture; returns the new halfmove clock.
uint16_t MovePiece(int from, int to, int side, uint16_t clock, PlyRecord* record) {
  ClearRotated(from);
  Bitboard m = SquareMask[from] | SquareMask[to];
  int code = Position.Board[from];
  if (code <= BlackPawn) {
    clock = 0;
    record->MovedPieceBoard = Position.PieceBoard[code];
    Position.PieceBoard[code] ^= m;
    if (from - to == 16 || to - from == 16) {
      Position.EpSquare = static_cast<uint8_t>((from + to) / 2);
      Position.PositionKey ^= ZobristKeys[0][Position.EpSquare];
      Position.PawnKey ^= static_cast<uint32_t>(ZobristKeys[0][Position.EpSquare]);
    }
  } else if (code >= WhiteKing) {
    Position.KingSquare[side] = static_cast<uint8_t>(to);
    if (side == White) {
      DropRightIfHeld(RightWhiteShort);
      DropRightIfHeld(RightWhiteLong);
    } else {
      DropRightIfHeld(RightBlackShort);
      DropRightIfHeld(RightBlackLong);
    }
  } else {
    record->MovedPieceBoard = Position.PieceBoard[code];
    Position.PieceBoard[code] ^= m;
    if (code == WhiteRook) {
      if (from == A1) DropRightIfHeld(RightWhiteLong);
      if (from == H1) DropRightIfHeld(RightWhiteShort);
    } else if (code == BlackRook) {
      if (from == A8) DropRightIfHeld(RightBlackLong);
      if (from == H8) DropRightIfHeld(RightBlackShort);
    }
  }
  XorKeys(code, from);
  XorKeys(code, to);
  Position.Board[to] = static_cast<uint8_t>(code);
  Position.Board[from] = Empty;
  Position.ColourBoard[side] ^= m;
  Position.Occupied = Position.ColourBoard[Black] | Position.ColourBoard[White];
  return clock;
}

void MakeEnPassant(int from, int to, int side, PlyRecord* record) {
  int pawn = 2 - side, victimSquare = to + EpOffset[side];
  int x = Position.Board[victimSquare];
  record->MovedPieceBoard = Position.PieceBoard[pawn];
  record->CapturedCode = static_cast<uint8_t>(x);
  Position.Board[to] = Position.Board[from];
  Position.Board[from] = Empty;
  Position.Board[victimSquare] = Empty;
  Position.PawnCount[side ^ 1]--;
  Position.TotalMaterial--;
  XorKeys(x, victimSquare);
  XorKeys(pawn, from);
  XorKeys(pawn, to);
  Bitboard m = SquareMask[from] | SquareMask[to];
  Position.PieceBoard[x] ^= SquareMask[victimSquare];
  Position.ColourBoard[side ^ 1] ^= SquareMask[victimSquare];
  Position.PieceBoard[pawn] ^= m;
  Position.ColourBoard[side] ^= m;
  Position.Occupied = Position.ColourBoard[Black] | Position.ColourBoard[White];
  ToggleRotated(from);
  Position.OccupiedR90 ^= EpToggleR90[to];
  Position.OccupiedR45 ^= EpToggleR45[to];
  Position.OccupiedL45 ^= EpToggleL45[to];
}

void MakePromotion(int from, int to, int kind, int side, PlyRecord* record) {
  int pawn = 2 - side, promoted = PromotedBase[kind & 3] - side;
  int gain = PromotionGain[kind & 3];
  record->MaterialDelta = static_cast<int8_t>(gain);
  Position.PieceMaterial[side] = static_cast<uint8_t>(Position.PieceMaterial[side] + gain + 1);
  if (kind >= KindCapPromoQueen) {
    int units = MaterialUnits[Position.Board[to]];
    Position.PieceMaterial[side ^ 1] = static_cast<uint8_t>(Position.PieceMaterial[side ^ 1] - units);
    record->MaterialDelta = static_cast<int8_t>(record->MaterialDelta - units);
    TakeVictim(to, side ^ 1, record);
  } else {
    SetRotated(to);
  }
  Position.TotalMaterial = static_cast<uint8_t>(Position.TotalMaterial + record->MaterialDelta);
  ClearRotated(from);
  record->MovedPieceBoard = Position.PieceBoard[pawn];
  Position.Board[from] = Empty;
  Position.Board[to] = static_cast<uint8_t>(promoted);
  XorKeys(pawn, from);
  Position.PositionKey ^= ZobristKeys[promoted][to];
  Position.PieceBoard[promoted] |= SquareMask[to];
  Position.PawnCount[side]--;
  Position.PieceBoard[pawn] &= ~SquareMask[from];
  Position.ColourBoard[side] ^= SquareMask[from] | SquareMask[to];
  Position.Occupied = Position.ColourBoard[Black] | Position.ColourBoard[White];
}

void MakeCastle(int kind, int side) {
  const CastleGeometry& c = Castles[kind - KindBlackShortCastle];
  DropRight(c.ownWing);
  DropRightIfHeld(c.otherWing);
  int king = 12 - side, rook = 8 - side;
  Position.KingSquare[side] = static_cast<uint8_t>(c.kingTo);
  Position.Board[c.kingFrom] = Empty;
  Position.Board[c.rookFrom] = Empty;
  Position.Board[c.kingTo] = static_cast<uint8_t>(king);
  Position.Board[c.rookTo] = static_cast<uint8_t>(rook);
  Position.PieceBoard[rook] ^= SquareMask[c.rookFrom] | SquareMask[c.rookTo];
  Position.ColourBoard[side] ^= SquareMask[c.kingFrom] | SquareMask[c.kingTo] | SquareMask[c.rookFrom] |
                                SquareMask[c.rookTo];
  Position.Occupied = Position.ColourBoard[Black] | Position.ColourBoard[White];
  for (int s : {c.kingFrom, c.kingTo, c.rookFrom, c.rookTo}) ToggleRotated(s);
  Position.PositionKey ^= c.key;
}

// An inconsistency inside the engine: dump what is known and end the program.
[[noreturn]] void MoveMakerFailure(Move move, bool unmaking) {
  FILE* f = std::fopen("!error.err", "a");
  if (f) {
    if (unmaking) {
      std::fprintf(f, "\n MV_NOT_VALID 2: %u; from=%d; to=%d; type=%d\n", move, MoveFrom(move), MoveTo(move),
                   MoveKind(move));
    } else {
      std::fprintf(f, "\n MV_NOT_VALID: %u; from=%d; to=%d; type=%d\n", move, MoveFrom(move), MoveTo(move),
                   MoveKind(move));
      if (MoveMakerFailureContext) MoveMakerFailureContext(f);
    }
    std::fclose(f);
  }
  if (!unmaking) PrintBoard(Position.Board);
  std::fflush(stdout);
  CloseLog();
  std::exit(EXIT_FAILURE);
}

// Old game history is dropped once the history fills up, keeping enough for every draw rule.
void CompactKeyHistory() {
  constexpr int SearchReserve = 200, Kept = 128;
  if (HistoryTop < KeyHistorySize - SearchReserve) return;
  std::memmove(KeyHistory, KeyHistory + HistoryTop - (Kept - 1), Kept * sizeof(KeyHistoryEntry));
  HistoryTop = Kept - 1;
}

}  // namespace

void (*MoveMakerFailureContext)(std::FILE* file);

void SaveBoardState(PlyRecord* record) {
  record->SavedOccupied = Position.Occupied;
  record->SavedColourBoard = Position.ColourBoard[Position.SideToMove];
  record->SavedOccupiedR90 = Position.OccupiedR90;
  record->SavedOccupiedR45 = Position.OccupiedR45;
  record->SavedOccupiedL45 = Position.OccupiedL45;
  record->SavedKey = Position.PositionKey;
  record->SavedPawnKey = Position.PawnKey;
  record->SavedCastleRights = Position.CastleRights;
  record->SavedEpSquare = Position.EpSquare;
}

void MakeMove(Move move, PlyRecord* record) {
  int from = MoveFrom(move), to = MoveTo(move), kind = MoveKind(move);
  int side = Position.SideToMove;
  KeyHistoryEntry& current = KeyHistory[HistoryTop];
  current.Move = move;
  uint16_t clock = 0;
  if (Position.EpSquare) {
    Position.PositionKey ^= ZobristKeys[0][Position.EpSquare];
    Position.PawnKey ^= static_cast<uint32_t>(ZobristKeys[0][Position.EpSquare]);
    Position.EpSquare = 0;
  }
  // Quiet moves and plain captures, nearly every move made, share one path.
  if (kind == KindQuiet || kind == KindCapture) {
    if (kind == KindCapture) {
      int units = MaterialUnits[Position.Board[to]];
      record->MaterialDelta = static_cast<int8_t>(-units);
      Position.TotalMaterial = static_cast<uint8_t>(Position.TotalMaterial - units);
      if (Position.Board[to] <= BlackPawn) Position.PawnCount[side ^ 1]--;
      else Position.PieceMaterial[side ^ 1] = static_cast<uint8_t>(Position.PieceMaterial[side ^ 1] - units);
      TakeVictim(to, side ^ 1, record);
    } else {
      SetRotated(to);
    }
    clock = MovePiece(from, to, side, kind == KindQuiet ? static_cast<uint16_t>(current.HalfmoveClock + 1) : 0, record);
  } else if (kind == KindEnPassant) {
    MakeEnPassant(from, to, side, record);
  } else if (kind == KindMarker) {
    MoveMakerFailure(move, false);
  } else if (kind >= KindBlackShortCastle) {
    MakeCastle(kind, side);
  } else {
    MakePromotion(from, to, kind, side, record);
  }
  HistoryTop++;
  KeyHistory[HistoryTop].Key = Position.PositionKey;
  KeyHistory[HistoryTop].HalfmoveClock = clock;
  Position.SideToMove = side ^ 1;
}

namespace {

// Puts the mover back on from (quiet moves and plain captures).
inline void RestoreMover(int from, int to, int mover, const PlyRecord* record) {
  if (to == Position.KingSquare[mover]) Position.KingSquare[mover] = static_cast<uint8_t>(from);
  else Position.PieceBoard[Position.Board[to]] = record->MovedPieceBoard;
  Position.Board[from] = Position.Board[to];
}

inline void RestoreVictim(int s, int code, int side) {
  Position.PieceBoard[code] |= SquareMask[s];
  Position.ColourBoard[side] |= SquareMask[s];
  Position.Board[s] = static_cast<uint8_t>(code);
}

}  // namespace

void UnmakeMove(Move move, PlyRecord* record) {
  int from = MoveFrom(move), to = MoveTo(move), kind = MoveKind(move);
  int mover = Position.SideToMove ^ 1, other = Position.SideToMove;
  if (kind == KindMarker) MoveMakerFailure(move, true);
  Position.OccupiedR90 = record->SavedOccupiedR90;
  Position.OccupiedR45 = record->SavedOccupiedR45;
  Position.OccupiedL45 = record->SavedOccupiedL45;
  Position.Occupied = record->SavedOccupied;
  Position.ColourBoard[mover] = record->SavedColourBoard;
  Position.PositionKey = record->SavedKey;
  Position.PawnKey = record->SavedPawnKey;
  Position.EpSquare = record->SavedEpSquare;
  int pawn = 2 - mover, code = record->CapturedCode;
  switch (kind) {
    case KindQuiet:
      Position.CastleRights = record->SavedCastleRights;
      RestoreMover(from, to, mover, record);
      Position.Board[to] = Empty;
      break;
    case KindCapture:
      Position.CastleRights = record->SavedCastleRights;
      Position.TotalMaterial = static_cast<uint8_t>(Position.TotalMaterial - record->MaterialDelta);
      if (code <= BlackPawn) Position.PawnCount[other]++;
      else Position.PieceMaterial[other] = static_cast<uint8_t>(Position.PieceMaterial[other] - record->MaterialDelta);
      RestoreMover(from, to, mover, record);
      RestoreVictim(to, code, other);
      break;
    case KindEnPassant:
      Position.TotalMaterial++;
      Position.Board[from] = Position.Board[to];
      Position.Board[to] = Empty;
      Position.PawnCount[other]++;
      RestoreVictim(to + EpOffset[mover], code, other);
      Position.PieceBoard[pawn] = record->MovedPieceBoard;
      break;
    default:
      if (kind >= KindBlackShortCastle) {
        const CastleGeometry& c = Castles[kind - KindBlackShortCastle];
        int rook = 8 - mover;
        Position.CastleRights = record->SavedCastleRights;
        Position.KingSquare[mover] = static_cast<uint8_t>(c.kingFrom);
        Position.PieceBoard[rook] ^= SquareMask[c.rookFrom] | SquareMask[c.rookTo];
        Position.Board[c.kingFrom] = static_cast<uint8_t>(12 - mover);
        Position.Board[c.rookFrom] = static_cast<uint8_t>(rook);
        Position.Board[c.kingTo] = Empty;
        Position.Board[c.rookTo] = Empty;
        break;
      }
      int promoted = Position.Board[to];
      Position.TotalMaterial = static_cast<uint8_t>(Position.TotalMaterial - record->MaterialDelta);
      Position.PawnCount[mover]++;
      Position.Board[from] = static_cast<uint8_t>(pawn);
      Position.PieceBoard[pawn] = record->MovedPieceBoard;
      Position.PieceBoard[promoted] &= ~SquareMask[to];
      Position.PieceMaterial[mover] = static_cast<uint8_t>(Position.PieceMaterial[mover] - MaterialUnits[promoted]);
      if (kind >= KindCapPromoQueen) {
        Position.CastleRights = record->SavedCastleRights;
        Position.PieceMaterial[other] = static_cast<uint8_t>(Position.PieceMaterial[other] + MaterialUnits[code]);
        RestoreVictim(to, code, other);
      } else {
        Position.Board[to] = Empty;
      }
      break;
  }
  Position.SideToMove = mover;
  HistoryTop--;
}

bool MoveIsLegal(Move move) {
  if (!ValidateMove(move)) return false;
  PlyRecord scratch;
  int side = Position.SideToMove;
  SaveBoardState(&scratch);
  MakeMove(move, &scratch);
  bool attacked = KingAttackedAfterMove(move, side);
  UnmakeMove(move, &scratch);
  return !attacked;
}

bool MakeRealMove(Move move) {
  if (IsMarker(move) || !MoveIsLegal(move)) {
    char text[8], fen[128];
    MoveToText(move, text);
    WriteFen(fen);
    LogLine("-----FEN:\t%s", fen);
    LogLine("*********** MakeRealMove ILLEGAL %u %s", move, text);
    return false;
  }
  MakeMove(move, CurrentPly);
  GamePly++;
  SearchAge++;
  RootEpSquare = Position.EpSquare;
  RootCastleRights = Position.CastleRights;
  RootKingSquare[White] = Position.KingSquare[White];
  RootKingSquare[Black] = Position.KingSquare[Black];
  RootSideToMove = Position.SideToMove;
  std::memcpy(RootBoard, Position.Board, 64);
  CompactKeyHistory();
  return true;
}

char* MoveToText(Move move, char* buffer) {
  static constexpr const char* CastleText[4] = {"e8g8", "e1g1", "e8c8", "e1c1"};
  int kind = MoveKind(move);
  if (kind >= KindBlackShortCastle) {
    std::memcpy(buffer, CastleText[kind - KindBlackShortCastle], 5);
    return buffer + 4;
  }
  char* out = buffer;
  for (int s : {MoveFrom(move), MoveTo(move)}) {
    *out++ = static_cast<char>('a' + FileIndex(s));
    *out++ = static_cast<char>('8' - RankIndex(s));
  }
  if (kind >= KindPromoQueen) *out++ = "qnrb"[kind & 3];
  *out = 0;
  return out;
}

Move ReadCoordinateMove(const char* t) {
  auto isFile = [](char c) { return c >= 'a' && c <= 'h'; };
  auto isRank = [](char c) { return c >= '1' && c <= '8'; };
  if (!isFile(t[0]) || !isRank(t[1]) || !isFile(t[2]) || !isRank(t[3])) return 0;
  int from = (t[0] - 'a') + 8 * ('8' - t[1]), to = (t[2] - 'a') + 8 * ('8' - t[3]);
  uint16_t rights = RootCastleRights;
  if (from == E8 && (rights & (RightBlackShort | RightBlackLong))) {
    if (to == C8 && (rights & RightBlackLong)) return MakeMoveWord(from, to, KindBlackLongCastle);
    if (to == G8 && (rights & RightBlackShort)) return MakeMoveWord(from, to, KindBlackShortCastle);
  }
  if (from == E1 && (rights & (RightWhiteShort | RightWhiteLong))) {
    if (to == C1 && (rights & RightWhiteLong)) return MakeMoveWord(from, to, KindWhiteLongCastle);
    if (to == G1 && (rights & RightWhiteShort)) return MakeMoveWord(from, to, KindWhiteShortCastle);
  }
  bool occupied = RootBoard[to] != Empty;
  if (RootBoard[from] <= BlackPawn) {
    if (t[4]) {
      static constexpr const char* Pieces = "qnrb";
      const char* at = std::strchr(Pieces, t[4]);
      if (!at) return MakeMoveWord(from, to, KindQuiet);
      return MakeMoveWord(from, to, static_cast<int>(at - Pieces) + (occupied ? KindCapPromoQueen : KindPromoQueen));
    }
    if (RootEpSquare && to == RootEpSquare) return MakeMoveWord(from, to, KindEnPassant);
  }
  return MakeMoveWord(from, to, occupied ? KindCapture : KindQuiet);
}
