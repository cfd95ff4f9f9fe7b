// Move text read against a few positions (chosen by the first byte): no crash, no sanitizer
// report, and the position as the reader found it, also after it tried ambiguous candidates.
#include <cstring>
#include <string>
#include "fuzz_support.h"
#include "records/records.h"

namespace {

constexpr const char* Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - -",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzStartup();
  if (size == 0) return 0;
  if (!SetupPosition(Positions[data[0] % std::size(Positions)])) std::abort();
  std::string token(reinterpret_cast<const char*>(data + 1), size - 1);
  PositionState before = Position;
  int top = HistoryTop;
  ParseSanMove(token.c_str());
  if (std::memcmp(&before, &Position, sizeof before) != 0 || HistoryTop != top) std::abort();
  return 0;
}
