// PGN reading: the tag pairs, of which only Result is kept, then the main line of the
// movetext. Comments ({...} up to the first '}', ';' to the line end), variations, move
// numbers, NAGs and '%' escape lines are read away; every move is checked against the
// generated moves and played on the global position, and all of them are taken back before
// returning, so that the next game starts from the same position.
//
// A line that starts a tag pair ('[' and a letter) always starts a game: no comment,
// variation or movetext runs past it. A game broken off there, or by a token that is no move,
// is skipped and reading goes on at the next game's tags, so a bad game costs that game only.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <istream>
#include "records/records.h"

namespace {

constexpr int TagNameSize = 16;   // longer tag names are cut: only "Result" matters
constexpr int TagValueSize = 16;  // the same for values

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

// The stream with its line starts noted: at a line start '%' begins an escape line, and '['
// followed by a letter begins the tag pairs of a game.
class PgnText {
 public:
  explicit PgnText(std::istream& in) : in_(in) {}
  std::istream& Stream() { return in_; }
  int Peek() { return in_.peek(); }
  int Get() {
    int c = in_.get();
    lineStart_ = c == '\n';
    return c;
  }
  void SkipLine() {
    for (int c = Get(); c != EOF && c != '\n';) c = Get();
  }
  bool AtLineStart() const { return lineStart_; }
  // At a line start, reads escape lines away; true when the line then starts a tag pair.
  bool AtTags() {
    while (lineStart_ && in_.peek() == '%') SkipLine();
    if (!lineStart_ || in_.peek() != '[') return false;
    in_.get();
    bool letter = std::isalpha(in_.peek());
    in_.unget();
    return letter;
  }

 private:
  std::istream& in_;
  bool lineStart_ = true;
};

bool IsBlank(int c) { return c == ' ' || c == '\t'; }

void SkipBlanks(PgnText& text) {
  while (IsBlank(text.Peek())) text.Get();
}

// Reads a '{' comment away up to the first '}' (comments do not nest); false when a tag
// pair's line or the end of the stream comes first.
bool SkipComment(PgnText& text) {
  for (;;) {
    if (text.AtTags()) return false;
    int c = text.Get();
    if (c == EOF) return false;
    if (c == '}') return true;
  }
}

// Reads a variation away up to its ')', with the variations and comments inside it; false when
// a tag pair's line or the end of the stream comes first.
bool SkipVariation(PgnText& text) {
  for (int depth = 1; depth > 0;) {
    if (text.AtTags()) return false;
    int c = text.Get();
    if (c == EOF || (c == '{' && !SkipComment(text))) return false;
    if (c == ';') text.SkipLine();
    depth += (c == '(') - (c == ')');
  }
  return true;
}

// The UTF-8 byte-order mark EF BB BF that some programs write at the start of a file.
void SkipByteOrderMark(PgnText& text) {
  for (int byte : {0xEF, 0xBB, 0xBF})
    if (text.Peek() == byte) text.Get();
}

// Reads away what may stand between games and between tag pairs: white space, comments,
// escape lines and a UTF-8 byte-order mark.
void SkipBetweenGames(PgnText& text) {
  for (int c = text.Peek(); c != EOF; c = text.Peek()) {
    if (std::isspace(c)) text.Get();
    else if (c == ';' || (c == '%' && text.AtLineStart())) text.SkipLine();
    else if (c == '{') text.Get(), SkipComment(text);
    else if (c == 0xEF) SkipByteOrderMark(text);
    else return;
  }
}

// A Result value sets the record's result; a value other than the four results is an error.
void ReadResultValue(const char* value, GameRecord& record) {
  for (const ResultName& result : Results)
    if (std::strncmp(value, result.text, std::strlen(result.text)) == 0) return SetResult(record, result);
  throw RecordError("Result Error 1");
}

// A tag name (letters, digits, '_'), its first characters kept; false when there is none.
bool ReadTagName(PgnText& text, char (&name)[TagNameSize + 1]) {
  int n = 0;
  for (int c = text.Peek(); std::isalnum(c) || c == '_'; c = text.Peek()) {
    text.Get();
    if (n < TagNameSize) name[n++] = static_cast<char>(c);
  }
  name[n] = 0;
  return n > 0;
}

// A quoted value after its opening quote, its first characters kept; false when its line or
// the stream ends before the closing quote.
bool ReadTagValue(PgnText& text, char (&value)[TagValueSize + 1]) {
  int n = 0;
  for (int c = text.Get(); c != '"'; c = text.Get()) {
    if (c == '\\') c = text.Get();
    if (c == EOF || c == '\n') return false;
    if (n < TagValueSize) value[n++] = static_cast<char>(c);
  }
  value[n] = 0;
  return true;
}

// One tag pair after its '[': a name, a quoted value (\" and \\ escaped) and ']'. A malformed
// pair is read away to the end of its line.
void ReadTagPair(PgnText& text, GameRecord& record) {
  char name[TagNameSize + 1], value[TagValueSize + 1];
  SkipBlanks(text);
  bool named = ReadTagName(text, name);
  SkipBlanks(text);
  bool valued = named && text.Get() == '"' && ReadTagValue(text, value);
  if (valued) SkipBlanks(text);
  if (!valued || text.Get() != ']') {
    if (!text.AtLineStart()) text.SkipLine();
    return;
  }
  if (std::strcmp(name, "Result") == 0) ReadResultValue(value, record);
}

bool ReadTags(PgnText& text, GameRecord& record) {
  SetResultText('?', record);
  for (SkipBetweenGames(text); text.Peek() == '['; SkipBetweenGames(text)) {
    text.Get();
    ReadTagPair(text, record);
  }
  if (!text.Stream().good()) return false;
  if (record.ResultCode == '?') throw RecordError("Result Error 2");
  return true;
}

// The rest of the result text after its first character; a character that differs is an error.
void ReadGameEndMarker(PgnText& text, const GameRecord& record) {
  for (const char* rest = record.ResultText + 1; *rest; rest++) {
    int c = text.Get();
    if (c == EOF) return;
    if (c != *rest) throw RecordError("wrong end result 1");
  }
}

bool EndsToken(int c) { return c == EOF || std::isspace(c) || c == '{' || c == '(' || c == ';'; }

// Reads a whole token, keeping its first 10 characters; false when it is longer.
bool ReadToken(PgnText& text, char* buffer) {
  int n = 0;
  bool whole = true;
  for (int c = text.Peek(); !EndsToken(c); c = text.Peek()) {
    text.Get();
    if (n < MoveTokenSize) buffer[n++] = static_cast<char>(c);
    else whole = false;
  }
  buffer[n] = 0;
  return whole;
}

enum class Next { Token, End, Broken };

// Reads away what is not a move token: move numbers, dots, NAGs, comments and variations.
// Token at the start of a token; End at the game-end marker or the end of the stream; Broken,
// with the reason, when a tag pair's line comes first or a comment or variation is not closed.
Next NextToken(PgnText& text, const GameRecord& record, const char** reason) {
  for (;;) {
    if (text.AtTags()) {
      *reason = "no game-end marker before the next tags";
      return Next::Broken;
    }
    int c = text.Get();
    if (c == EOF) return Next::End;
    if (c == '*') {
      if (record.ResultCode != '*') throw RecordError("Result * error");
      return Next::End;
    }
    if (c >= '0' && c <= '9') {
      if (c != record.ResultText[0] || text.Peek() != record.ResultText[1]) continue;  // a move-number digit
      ReadGameEndMarker(text, record);
      return Next::End;
    }
    if (c == '{' || c == '(') {
      if (c == '{' ? SkipComment(text) : SkipVariation(text)) continue;
      *reason = c == '{' ? "comment not closed" : "variation not closed";
      return Next::Broken;
    }
    if (c == ';') text.SkipLine();
    else if (!std::isspace(c) && c != '.' && c != '$') break;
  }
  text.Stream().unget();
  return Next::Token;
}

// After a token that is no move, the rest of the game is read away up to the next game's tags.
void SkipToNextGame(PgnText& text) {
  do text.SkipLine();
  while (text.Peek() != EOF && !text.AtTags());
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

bool PgnGameAhead(std::istream& in) {
  PgnText text(in);
  SkipBetweenGames(text);
  return text.Peek() != EOF;
}

bool ReadPgnTags(std::istream& in, GameRecord& record) {
  PgnText text(in);
  return ReadTags(text, record);
}

Move ReadMoveToken(std::istream& in, char* buffer) {
  PgnText text(in);
  return ReadToken(text, buffer) ? ParseSanMove(buffer) : 0;
}

uint16_t ReadPgnGame(std::istream& in, GameRecord& record) {
  record.Header = 0;
  record.Token[0] = 0;
  GameReplay replay(record);
  PgnText text(in);
  int p = 1;
  if (!ReadTags(text, record)) return 0;
  const char* broken = nullptr;
  Next next;
  while ((next = NextToken(text, record, &broken)) == Next::Token) {
    bool whole = ReadToken(text, record.Token);
    // Past the record's capacity (or the key history's room) moves are read away unparsed:
    // they are neither played nor stored.
    if (p > MaxGameMoves || !GameReplay::HasRoom()) continue;
    Move move = whole ? ParseSanMove(record.Token) : 0;
    if (!move) {
      LogLine("%sERROR", record.Token);
      std::printf("move: %s%s, plyNo:%d\n", record.Token, whole ? "" : "...", p);
      SkipToNextGame(text);
      return 0;
    }
    record.Moves[p - 1] = move;
    replay.Play(p++, record.Token);
  }
  if (next == Next::Broken) {
    LogLine("%s ERROR", broken);
    std::printf("%s, plyNo:%d\n", broken, p);
    return 0;
  }
  if (p == 1) return 0;
  uint16_t bits = ResultBits(record);
  record.Header = static_cast<uint16_t>((p - 1) | bits);
  return bits;
}
