// PGN reading: the Result tag, then the main line of the movetext. Comments, variations,
// move numbers and NAGs are read away; every move is checked against the generated moves
// and played on the global position, and all of them are taken back before returning, so
// that the next game starts from the same position.
#include <cstdio>
#include <cstring>
#include <istream>
#include "records/records.h"

namespace {

constexpr int TagLineSize = 512;  // a tag line keeps at most 511 characters

struct ResultName {
  char code;
  const char* text;
  uint16_t bits;
};
constexpr ResultName Results[] = {
    {'W', "1-0", ResultWhiteWins}, {'B', "0-1", ResultBlackWins}, {'D', "1/2-1/2", ResultDraw}, {'*', "*", 0}};

void SetResult(GameRecord& record, const ResultName& result) {
  record.ResultCode = result.code;
  std::strcpy(record.ResultText, result.text);
}

// Reads the rest of a line; the first 511 characters are kept, the others dropped.
void ReadTagLine(std::istream& in, char* line) {
  int n = 0;
  for (int c = in.get(); c != EOF && c != '\n'; c = in.get())
    if (n < TagLineSize - 1) line[n++] = static_cast<char>(c);
  line[n] = 0;
}

// A "Result" tag line sets the record's result; a value other than the four results is an error.
void ReadResultTag(const char* line, GameRecord& record) {
  if (std::strncmp(line, "Result", 6) != 0) return;
  const char* value = line + 6;
  while (*value == ' ') value++;
  if (*value) value++;  // the opening quote
  for (const ResultName& result : Results)
    if (std::strncmp(value, result.text, std::strlen(result.text)) == 0) return SetResult(record, result);
  throw RecordError("Result Error 1");
}

// Reads away a comment or variation whose opening character has been taken.
void SkipBalanced(std::istream& in, char open, char close) {
  for (int depth = 1, c; depth > 0 && (c = in.get()) != EOF;) depth += (c == open) - (c == close);
}

// The rest of the result text after its first character; a character that differs is an error.
void ReadGameEndMarker(std::istream& in, const GameRecord& record) {
  for (const char* rest = record.ResultText + 1; *rest; rest++) {
    int c = in.get();
    if (c == EOF) return;
    if (c != *rest) throw RecordError("wrong end result 1");
  }
}

// Reads one token of at most 10 characters; the characters that end it are left in the stream.
void ReadToken(std::istream& in, char* buffer) {
  int n = 0;
  while (n < MoveTokenSize) {
    int c = in.get();
    if (c == EOF) break;
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '{') {
      in.unget();
      break;
    }
    buffer[n++] = static_cast<char>(c);
  }
  buffer[n] = 0;
}

// Reads away what is not a move token: move numbers, dots, NAGs, comments and variations. True
// at the start of a token; false at the end of the movetext (game-end marker or end of stream).
bool NextToken(std::istream& in, const GameRecord& record) {
  for (;;) {
    in >> std::ws;
    int c = in.get();
    if (c == EOF) return false;
    if (c == '*') {
      if (record.ResultCode != '*') throw RecordError("Result * error");
      return false;
    }
    if (c >= '0' && c <= '9') {
      if (c != record.ResultText[0] || in.peek() != record.ResultText[1]) continue;  // a move-number digit
      ReadGameEndMarker(in, record);
      return false;
    }
    if (c == '{' || c == '(') SkipBalanced(in, static_cast<char>(c), c == '{' ? '}' : ')');
    else if (c != '.' && c != '$') break;
  }
  in.unget();
  return true;
}

uint16_t ResultBits(const GameRecord& record) {
  for (const ResultName& result : Results)
    if (std::strcmp(record.ResultText, result.text) == 0) return result.bits;
  throw RecordError("wrong end result 2");
}

}  // namespace

void SetResultText(char code, GameRecord& record) {
  for (const ResultName& result : Results)
    if (result.code == code && code != '*') return SetResult(record, result);
  record.ResultCode = '?';
  record.ResultText[0] = 0;
}

bool ReadPgnTags(std::istream& in, GameRecord& record) {
  SetResultText('?', record);
  char line[TagLineSize];
  in >> std::ws;
  while (in.peek() == '[') {
    in.get();
    ReadTagLine(in, line);
    ReadResultTag(line, record);
    in >> std::ws;
  }
  in.peek();
  if (!in.good()) return false;
  if (record.ResultCode == '?') throw RecordError("Result Error 2");
  return true;
}

Move ReadMoveToken(std::istream& in, char* buffer) {
  ReadToken(in, buffer);
  return ParseSanMove(buffer);
}

uint16_t ReadPgnGame(std::istream& in, GameRecord& record) {
  record.Header = 0;
  record.Token[0] = 0;
  GameReplay replay(record);
  int p = 1;
  if (!ReadPgnTags(in, record)) return 0;
  while (NextToken(in, record)) {
    // Past the record's capacity (or the key history's room) moves are read away unparsed:
    // they are neither played nor stored.
    if (p > MaxGameMoves || !GameReplay::HasRoom()) {
      ReadToken(in, record.Token);
      continue;
    }
    Move move = ReadMoveToken(in, record.Token);
    if (!move) {
      LogLine("%sERROR", record.Token);
      std::printf("move: %s, plyNo:%d\n", record.Token, p);
      return 0;
    }
    record.Moves[p - 1] = move;
    replay.Play(p++, record.Token);
  }
  if (p == 1) {
    in >> std::ws;
    return 0;
  }
  uint16_t bits = ResultBits(record);
  record.Header = static_cast<uint16_t>((p - 1) | bits);
  return bits;
}
