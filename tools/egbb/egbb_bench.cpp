// tirvex_egbb_bench DIRECTORY: the processor time of writing the table files again from their
// entries (the compression the file format fixes, which bounds how fast the generator can
// make them), then probe time of the endgame-table library on random positions of all tables,
// from memory (a cache that holds every decoded block, warmed by a first pass) and with the
// engine's default 4 MB cache, and the memory the library keeps.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include "egbb/egbb.h"

namespace {

constexpr int Probes = 1000000;

// Resident memory of this process in kilobytes.
long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Nanoseconds per probe over the positions, all of them answered.
double NanosecondsPerProbe(const std::vector<std::array<int, 9>>& positions) {
  const auto start = std::chrono::steady_clock::now();
  long long sum = 0;
  for (const auto& a : positions) sum += probe_egbb_5men(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  std::printf("  (checksum %lld)\n", sum);
  return ns / double(positions.size());
}

double ProcessorSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every table decoded and written again into a scratch folder beside the tables, timing the
// writes alone; each new file must equal the old one byte for byte.
bool RewriteTables(const std::string& directory) {
  const std::string scratch = directory + "/rewrite.tmp";
  std::filesystem::create_directories(scratch);
  double seconds = 0;
  bool same = true;
  for (int table = 0; table < EgbbTableCount && same; table++) {
    EgbbFile file;
    std::vector<uint8_t> values(EgbbTables[table].size);
    bool read = EgbbOpenFile(directory, table, true, file);
    for (uint32_t b = 0; read && b < file.blocks; b++)
      read = EgbbReadBlock(file, b, values.data() + uint64_t(b) * EgbbBlockEntries);
    EgbbCloseFile(file);
    const double start = ProcessorSeconds();
    same = read && EgbbWriteFile(scratch, table, values);
    seconds += ProcessorSeconds() - start;
    same = same && FileBytes(EgbbFileName(scratch, table)) == FileBytes(EgbbFileName(directory, table));
  }
  std::filesystem::remove_all(scratch);
  if (same)
    std::printf("writing the %d table files again from their entries: %.1f s of CPU, every file the same\n",
                EgbbTableCount, seconds);
  else
    std::printf("writing the table files again: a file could not be read or came out different\n");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: tirvex_egbb_bench DIRECTORY\n");
    return 2;
  }
  if (!RewriteTables(argv[1])) return 1;
  const long before = ResidentKilobytes();
  load_egbb_5men(argv[1], 4 << 20, 1);
  std::printf("memory in use after load (EGBB_CACHE=4, EGBB_LOAD=1): %.1f MB\n", (ResidentKilobytes() - before) / 1024.0);
  std::mt19937 random(1);
  std::vector<std::array<int, 9>> positions;
  while (positions.size() < Probes) {
    const EgbbTable& t = EgbbTables[random() % EgbbTableCount];
    std::array<int, 9> a = {int(random() % 2), int(random() % 64), int(random() % 64), t.code[0], int(random() % 64),
                            t.code[1], t.code[1] ? int(random() % 64) : 0, 0, 0};
    if (probe_egbb_5men(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]) != EgbbNoAnswer) positions.push_back(a);
  }
  std::printf("random probes, 4 MB cache: %.0f ns\n", NanosecondsPerProbe(positions));
  load_egbb_5men(argv[1], 1 << 30, 1);
  NanosecondsPerProbe(positions);
  std::printf("random probes from memory (all blocks decoded): %.0f ns\n", NanosecondsPerProbe(positions));
  std::printf("memory in use with every block decoded: %.1f MB\n", (ResidentKilobytes() - before) / 1024.0);
  return 0;
}
