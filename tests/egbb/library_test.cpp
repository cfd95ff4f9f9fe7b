// The library's two calls on good and bad input: mates on the board answered as the rules
// of chess say, 99999 for anything the tables cannot answer, and table files that are
// missing, cut short or damaged refused rather than misread.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <random>
#include "../support/engine_process.h"
#include "egbb/egbb.h"

namespace {

namespace fs = std::filesystem;

struct ProbeCase { const char* note; int args[9], expected; };  // side, kings, three (piece, square) slots

// Squares a1 = 0 ... h8 = 63: a8 56, b8 57, c8 58, h8 63, b6 41, b7 49, b2 9, b3 17, g8 62.
constexpr ProbeCase Cases[] = {
    {"Ka8 mated by Qb7 guarded from Kb6: lost now", {1, 41, 56, 2, 49, 0, 0, 0, 0}, -17000},
    {"the same with colours exchanged", {0, 0, 17, 8, 9, 0, 0, 0, 0}, -17000},
    {"Kb6 Qc1 against Ka8: Qc8 mates in one ply", {0, 41, 56, 2, 2, 0, 0, 0, 0}, 16990},
    {"the man in the last slot", {0, 41, 56, 0, 0, 0, 0, 2, 2}, 16990},
    {"two kings alone: drawn", {0, 0, 63, 0, 0, 0, 0, 0, 0}, 0},
    {"king and knight cannot mate", {1, 0, 63, 5, 27, 0, 0, 0, 0}, 0},
    {"five men are not in the tables", {0, 0, 63, 2, 9, 3, 10, 9, 20}, 99999},
    {"white king square 64", {0, 64, 63, 2, 9, 0, 0, 0, 0}, 99999},
    {"man on square -1", {0, 0, 63, 2, -1, 0, 0, 0, 0}, 99999},
    {"piece code 1 (no piece)", {0, 0, 63, 1, 9, 0, 0, 0, 0}, 99999},
    {"piece code 7 (no piece)", {0, 0, 63, 7, 9, 0, 0, 0, 0}, 99999},
    {"piece code 13", {0, 0, 63, 13, 9, 0, 0, 0, 0}, 99999},
    {"negative piece code", {0, 0, 63, -6, 9, 0, 0, 0, 0}, 99999},
    {"side 2", {2, 0, 63, 2, 9, 0, 0, 0, 0}, 99999},
    {"queen on the white king's square", {0, 0, 63, 2, 0, 0, 0, 0, 0}, 99999},
    {"two men on one square", {0, 0, 63, 2, 9, 9, 9, 0, 0}, 99999},
    {"kings touching", {0, 0, 9, 2, 20, 0, 0, 0, 0}, 99999},
    {"pawn on the last rank", {0, 0, 63, 6, 60, 0, 0, 0, 0}, 99999},
    {"black king in check with white to move", {0, 0, 63, 2, 62, 0, 0, 0, 0}, 99999},
};

int Probe(const int* a) { return probe_egbb_5men(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); }

void Load(const std::string& directory, int cacheBytes = 4 << 20, int option = 1) {
  load_egbb_5men(const_cast<char*>(directory.c_str()), cacheBytes, option);
}

TEST(EgbbLibrary, AnswersFromTheRulesAndRefusesBadInput) {
  Load(TIRVEX_EGBB_TABLES);
  for (const ProbeCase& c : Cases) EXPECT_EQ(Probe(c.args), c.expected) << c.note;
}

// Random positions of all tables answer alike from memory, from disk and with no cache.
TEST(EgbbLibrary, LoadOptionsAndCacheSizesAnswerAlike) {
  std::mt19937 random(7);
  std::vector<std::array<int, 9>> probes(3000);
  for (auto& a : probes) {
    const EgbbTable& t = EgbbTables[random() % EgbbTableCount];
    a = {int(random() % 2), int(random() % 64), int(random() % 64), t.code[0], int(random() % 64), t.code[1],
         int(random() % 64), 0, 0};
  }
  std::vector<int> answers;
  Load(TIRVEX_EGBB_TABLES, 64 << 20, 1);
  for (auto& a : probes) answers.push_back(Probe(a.data()));
  for (auto [cache, option] : {std::pair(4 << 20, 0), std::pair(0, 1), std::pair(-5, 3)}) {
    Load(TIRVEX_EGBB_TABLES, cache, option);
    for (size_t i = 0; i < probes.size(); i++) ASSERT_EQ(Probe(probes[i].data()), answers[i]) << cache << " " << option;
  }
}

// A directory holding KQK with one byte of its first block changed, KRK cut short by a
// byte, and no KNK: the damaged block and the two tables answer 99999, the rest of KQK as
// before; a directory that does not exist answers nothing.
TEST(EgbbLibrary, MissingShortOrDamagedFilesAreRefused) {
  TempDirectory temp;
  const fs::path directory = temp.path;
  for (const char* name : {"kqk.tvb", "krk.tvb"}) fs::copy_file(fs::path(TIRVEX_EGBB_TABLES) / name, directory / name);
  fs::resize_file(directory / "krk.tvb", fs::file_size(directory / "krk.tvb") - 1);
  {
    std::fstream kqk(directory / "kqk.tvb", std::ios::in | std::ios::out | std::ios::binary);
    char blocks[4];
    kqk.seekg(28).read(blocks, 4);
    const std::streamoff firstBlock = 32 + 8 * (uint8_t(blocks[0]) + 1) + 20;  // header, offsets, into block 0
    char byte;
    kqk.seekg(firstBlock).read(&byte, 1);
    byte ^= 0x5A;
    kqk.seekp(firstBlock).write(&byte, 1);
  }
  Load(directory.string(), 1 << 20, 1);
  const int whiteToMove[9] = {0, 0, 63, 2, 9, 0, 0, 0, 0};  // entry in the first block
  const int mated[9] = {1, 41, 56, 2, 49, 0, 0, 0, 0};      // black to move: a later block
  const int rook[9] = {0, 0, 63, 3, 9, 0, 0, 0, 0}, knight[9] = {0, 0, 63, 5, 9, 0, 0, 0, 0};
  EXPECT_EQ(Probe(whiteToMove), EgbbNoAnswer);
  EXPECT_EQ(Probe(mated), -17000);
  EXPECT_EQ(Probe(rook), EgbbNoAnswer);
  EXPECT_EQ(Probe(knight), EgbbNoAnswer);
  Load((directory / "nowhere").string());
  EXPECT_EQ(Probe(mated), EgbbNoAnswer);
}

}  // namespace
