// Transposition table: two halves by side to move, buckets of three 12-byte slots.
#include <algorithm>
#include <sys/mman.h>
#include <cstdint>
#include <cstring>
#include <utility>
#include "search/search.h"

namespace {

// Aligned to 2 MB so that the kernel can back the table with huge pages: a probe is a random access
// into 36 MB, and with small pages nearly every probe would also miss the address-translation cache.
constexpr size_t HugePage = size_t(1) << 21;
// The table of the default size, in memory the program has from its start (untouched pages cost
// nothing); another size is mapped on request.
alignas(HugePage) TTBucket DefaultTable[2][DefaultTTBuckets];
static_assert(sizeof(DefaultTable) == 37748736, "the default table is 36 MB: 2 x 2^19 buckets of 36 bytes");
constexpr uint32_t FewestTTBuckets = 1 << 10;
constexpr int MostTTMegabytes = 1 << 16;
// The mapping of a table of another size (its start and length), nullptr for the default table.
void* Mapped;
size_t MappedLength;

// The buckets stored into since the last clear (half * TTBucketCount + bucket number): clearing
// after a short search rewrites only those, and with none (as at start-up) nothing.
WrittenEntries<1 << 14> StoredBuckets;

constexpr uint32_t KeyCheckMask = 0xFFF80000;  // key bits 16-18 are bucket-index bits and are not compared

inline uint32_t KeyLow(uint64_t key) { return static_cast<uint32_t>(key); }
inline uint32_t KeyHigh(uint64_t key) { return static_cast<uint32_t>(key >> 32); }

inline TTBucket& BucketOf(uint64_t key, int side) { return TTHalves[side][KeyLow(key) & (TTBucketCount - 1)]; }

// The bucket of a store, noted for the next clear.
inline TTBucket& StoredBucket(uint64_t key, int side) {
  StoredBuckets.Note(side * TTBucketCount + (KeyLow(key) & (TTBucketCount - 1)));
  return BucketOf(key, side);
}

inline bool Holds(const TTSlot& s, uint64_t key) {
  return ((s.Word0 ^ KeyLow(key)) & KeyCheckMask) == 0 && s.Word1 == KeyHigh(key);
}

// Word 2: score + 8190 in bits 18-31, age in 9-17, bound in 7-8, depth in 0-6. Scores beyond the
// 14-bit field (evaluations of several extra queens) are held at its ends instead of wrapping.
inline uint32_t PackWord2(int score, int depth, int bound) {
  score = std::clamp(score, -ScoreInfinity, (1 << 14) - 1 - ScoreInfinity);
  return (static_cast<uint32_t>(score + ScoreInfinity) << 18) | ((SearchAge & 0x1FFu) << 9) |
         static_cast<uint32_t>(depth & 0x7F) | static_cast<uint32_t>(bound);
}

inline TTSlot NewSlot(uint64_t key, Move move, int score, int depth, int bound) {
  return TTSlot{(KeyLow(key) & 0xFFFF0000) | move, KeyHigh(key), PackWord2(score, depth, bound)};
}

// A slot gives way when it is older or shallower than the new result, or equal in value with a weaker bound.
inline bool MayGiveUp(const TTSlot& s, int depth, int bound) {
  int v = static_cast<int16_t>(SearchAge - TTAge(&s) - TTDepth(&s) + depth);
  return v >= 1 || (v == 0 && TTBound(&s) > bound);
}

// The position's own slot 0 is rewritten only by a deeper result, or an equally deep one with a stronger bound.
inline bool Improves(const TTSlot& s, int depth, int bound) {
  return depth > TTDepth(&s) || (depth == TTDepth(&s) && TTBound(&s) > bound);
}

inline void Rewrite(TTSlot& s, Move move, int score, int depth, int bound) {
  s.Word0 = (s.Word0 & 0xFFFF0000) | move;
  s.Word2 = PackWord2(score, depth, bound);
}

// Applies f(age, depth) -> {age, depth} to every slot of both halves.
template <typename F>
void RewriteAllSlots(F f) {
  for (TTBucket* half : TTHalves)
    for (TTBucket* bucket = half; bucket < half + TTBucketCount; bucket++)
      for (TTSlot& s : bucket->Slot) {
        auto [age, depth] = f(TTAge(&s), TTDepth(&s));
        s.Word2 = (s.Word2 & ~0x3FE7Fu) | (static_cast<uint32_t>(age) << 9) | static_cast<uint32_t>(depth);
      }
}

size_t TableBytes() { return size_t(2) * TTBucketCount * sizeof(TTBucket); }

}  // namespace

TTBucket* TTHalves[2] = {DefaultTable[0], DefaultTable[1]};
uint32_t TTBucketCount = DefaultTTBuckets;

TTSlot* ProbeTT(uint64_t key, int side) {
  for (TTSlot& s : BucketOf(key, side).Slot)
    if (Holds(s, key)) return &s;
  return nullptr;
}

void StoreTT(uint64_t key, int side, Move move, int score, int depth, int bound) {
  TTSlot* slot = StoredBucket(key, side).Slot;
  if (Holds(slot[0], key)) {
    if (Improves(slot[0], depth, bound)) Rewrite(slot[0], move, score, depth, bound);
  } else if (MayGiveUp(slot[0], depth, bound)) {
    slot[1] = slot[0];
    slot[0] = NewSlot(key, move, score, depth, bound);
  } else if (MayGiveUp(slot[1], depth, bound)) {
    slot[1] = NewSlot(key, move, score, depth, bound);
  } else {
    slot[2] = NewSlot(key, move, score, depth, bound);
  }
}

void StoreRootTT(uint64_t key, int side, Move move, int score, int depth, int bound) {
  TTSlot* slot = StoredBucket(key, side).Slot;
  if (Holds(slot[0], key)) {
    if (Improves(slot[0], depth, bound)) Rewrite(slot[0], move, score, depth, bound);
  } else {
    slot[1] = slot[0];
    slot[0] = NewSlot(key, move, score, depth, bound);
  }
}

void ClearTT() {
  static const bool hugePages = madvise(DefaultTable, sizeof(DefaultTable), MADV_HUGEPAGE) == 0;
  (void)hugePages;
  StoredBuckets.Clear([](uint32_t b) { TTHalves[b / TTBucketCount][b % TTBucketCount] = TTBucket{}; },
                      [] { for (TTBucket* half : TTHalves) std::memset(half, 0, TableBytes() / 2); });
}

// A new mapping's pages read as zero until written, as the default table's do.
bool ResizeTT(int megabytes) {
  size_t bytes = size_t(std::clamp(megabytes, 0, MostTTMegabytes)) << 20;
  uint32_t buckets = FewestTTBuckets;
  while (size_t(4) * buckets * sizeof(TTBucket) <= bytes) buckets *= 2;
  if (buckets == TTBucketCount) {
    ClearTT();
    return true;
  }
  void* mapped = nullptr;
  size_t length = size_t(2) * buckets * sizeof(TTBucket) + HugePage;
  if (buckets != DefaultTTBuckets) {
    mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapped == MAP_FAILED) return false;
  }
  // The table left behind: the default one is emptied, since it may be taken up again; a mapped
  // one simply goes, without a pass over all its buckets.
  if (Mapped) {
    StoredBuckets.Clear([](uint32_t) {}, [] {});
    munmap(Mapped, MappedLength);
  } else {
    ClearTT();
  }
  Mapped = mapped;
  MappedLength = length;
  TTBucket* table = DefaultTable[0];
  if (mapped) {
    auto start = (reinterpret_cast<uintptr_t>(mapped) + HugePage - 1) & ~(HugePage - 1);
    table = reinterpret_cast<TTBucket*>(start);
    madvise(table, size_t(2) * buckets * sizeof(TTBucket), MADV_HUGEPAGE);
  }
  TTBucketCount = buckets;
  TTHalves[0] = table;
  TTHalves[1] = table + buckets;
  return true;
}

void ShrinkTT(int n) {
  if (n <= 4) return;
  int d = n - 4;
  int a = SearchAge < 16 ? SearchAge / 2 : (3 * SearchAge) / 4;
  RewriteAllSlots([=](int age, int depth) {
    return std::pair{age > a ? age - a : 0, depth > d ? depth - d : 0};
  });
}

void RenormaliseAge() {
  if (SearchAge <= 384) return;
  int s = SearchAge - 64;
  RewriteAllSlots([=](int age, int depth) { return std::pair{age > s ? age - s : 0, depth}; });
  SearchAge = static_cast<uint16_t>(SearchAge - s);
}
