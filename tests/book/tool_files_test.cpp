// The files of the tool commands through the real binary: an output is never one of the inputs
// (by any path) and an existing database is never truncated; a write that fails (a directory in
// the output's place, a full disk) leaves the old files as they were and prints no success line.
#include <gtest/gtest.h>
#include <unistd.h>
#include <filesystem>
#include "book_helpers.h"

using namespace book_test;

namespace {

const std::string Sample = ReadFile(TIRVEX_SOURCE_DIR "/tests/data/masters_sample.pgn");
const std::string OneGame("\x01\x80\x24\x0D", 4);  // a GAME record: 1-0 after e2e4
const char* const SuccessLines[] = {"created.", "finished", "OK\n", "CONVERTED GAMES"};

// The engine run of a session in the directory as another user, who may write white.db but not
// read it (root reads every file): what it printed.
std::string RunAsUserWhoCannotRead(const std::string& directory, const std::string& commands) {
  std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  std::ofstream(directory + "in.txt") << Session(commands + "quit\n");
  std::string script = "cd " + directory + " && chmod 777 . && chmod 222 white.db && " + as + TIRVEX_BINARY +
                       " < in.txt > out.txt";
  return std::system(script.c_str()) == 0 ? ReadFile(directory + "out.txt") : "";
}

TEST(ToolFiles, OutputsNeverOverwriteInputs) {
  // The command, its input (by the name written), the output named as the input, and what
  // prepares the directory.
  struct { std::string command, input, content, output, prepare; } rows[] = {
      {"dbcreate x_black.db x", "x_black.db", PosLine(1, AfterE4, 'W', 2), "x_black.db", ""},
      {"dbcreate x_white.db x", "x_white.db", PosLine(1, AfterE4, 'W', 2), "x_white.db", ""},
      {"pgn2pos 0.pos", "0.pos", Sample, "0.pos", ""},
      {"pgn2game s.pgn ./s.pgn", "s.pgn", Sample, "./s.pgn", ""},
      {"game2pgn a.game sub/../a.game", "a.game", OneGame, "sub/../a.game", "mkdir sub"},
      {"game2pos a.game link", "a.game", OneGame, "link", "ln a.game link"},
      {"pgnlist2game list list", "list", "s.pgn\n", "list", ""},
  };
  for (const auto& row : rows) {
    ToolRun run(row.command + "\n", {{row.input, row.content}, {"s.pgn", Sample}}, row.prepare);
    EXPECT_TRUE(Contains(run.out, "Cannot write over the input file: '" + row.output + "'\n")) << row.command;
    EXPECT_EQ(run.File(row.input), row.content) << row.command;
    for (const char* success : SuccessLines) EXPECT_FALSE(Contains(run.out, success)) << row.command;
  }
  // A database that exists but cannot be read is refused, not made empty.
  EngineProcess engine;
  const std::string white = DbRecords({{1, 2, 1, 0, 0}, {2, 2, 1, 0, 0}});
  engine.WriteFile("white.db", white);
  std::string out = RunAsUserWhoCannotRead(engine.Directory(), "bookcreate\n");
  EXPECT_TRUE(Contains(out, "Cannot open file: white.db\n")) << out;
  EXPECT_EQ(engine.File("white.db"), white);
}

// Runs the session in the directory on a disk that is full: a fresh tmpfs holding a copy of the
// directory's files with only free bytes left, in a private mount namespace; the directory then
// receives the files as the engine left them, and out.txt what it printed. False where that
// cannot be done (it needs root and unshare).
bool RunOnFullDisk(const std::string& directory, const std::string& session, uint64_t free) {
  if (geteuid() != 0 || std::system("unshare -m true 2> /dev/null") != 0) return false;
  std::ofstream(directory + "in.txt") << session;
  uint64_t size = free;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    size += entry.is_regular_file() ? (entry.file_size() + 4095) / 4096 * 4096 : 4096;
  std::string script = "mount=$(mktemp -d) && unshare -m sh -c 'mount -t tmpfs -o size=" + std::to_string(size) +
                       " tmpfs $0 && cp -a " + directory + ". $0/ && cd $0 && " + TIRVEX_BINARY + " < " + directory +
                       "in.txt > " + directory + "out.txt; cp -a $0/. " + directory + "' $mount; rmdir $mount";
  return std::system(script.c_str()) == 0;
}

TEST(ToolFiles, FailedWritesLeaveTheOldFilesAndPrintNoSuccess) {
  std::string positions;
  for (int key = 1; key <= 3000; key++) positions += PosLine(key, AfterE4, 'W', 2);
  std::vector<std::pair<std::string, std::string>> book = {
      {"black.db", DbRecords({{1, 2, 1, 0, 0}, {3, 2, 1, 0, 0}})}, {"white.db", DbRecords({{4, 2, 0, 1, 0}})}, {"bookbtm.mbx", "old"}, {"bookbtm.mbk", "old"}};
  auto wholeBook = book;
  wholeBook.insert(wholeBook.end(), {{"bookwtm.mbx", "old"}, {"bookwtm.mbk", "old"}});
  // The command, the files before it (the old ones are those named "old"), what prepares the
  // directory, the message, and the free space of a full disk (0: the disk is not full).
  struct { std::string command; std::vector<std::pair<std::string, std::string>> files; std::string prepare, message;
           uint64_t free; } rows[] = {
      {"bookcreate", book, "mkdir bookwtm.mbx", "Cannot create index file: 'bookwtm.mbx'\n", 0},
      {"dbcreate in.pos t", {{"in.pos", positions}, {"t_black.db", "old"}}, "mkdir t_white.db",
       "Cannot create file: 't_white.db'\n", 0},
      {"pgn2pos s.pgn", {{"s.pgn", Sample}, {"0.pos", "old"}}, "mkdir 7.pos", "Cannot create POS output file: '7.pos'\n", 0},
      {"bookcreate", wholeBook, "", "Writing indexes file error!\n", 64 * 1024},
      {"dbcreate in.pos t", {{"in.pos", positions}, {"t_black.db", "old"}, {"t_white.db", "old"}}, "",
       "Cannot write file: 't_black.db'\n", 64 * 1024},
      {"pgn2pos s.pgn", {{"s.pgn", Sample}, {"0.pos", "old"}, {"A.pos", "old"}}, "", "Cannot write POS output file: '", 64 * 1024},
  };
  std::vector<std::string> skipped;
  for (const auto& row : rows) {
    EngineProcess engine;
    for (const auto& [name, text] : row.files) engine.WriteFile(name, text);
    std::string session = Session(row.command + "\nquit\n"), out;
    if (!row.prepare.empty()) {
      ASSERT_EQ(std::system(("cd " + engine.Directory() + " && " + row.prepare).c_str()), 0);
    }
    if (!row.free) {
      out = RunEngine(engine, session).out;
    } else if (RunOnFullDisk(engine.Directory(), session, row.free)) {
      out = engine.File("out.txt");
    } else {
      skipped.push_back(row.command);
      continue;
    }
    EXPECT_TRUE(Contains(out, row.message)) << row.command << (row.free ? " on a full disk\n" : "\n") << out;
    for (const auto& [name, text] : row.files) {
      if (text != "old") continue;
      EXPECT_EQ(engine.File(name), "old") << row.command << ": " << name;
    }
    for (const char* success : SuccessLines) EXPECT_FALSE(Contains(out, success)) << row.command << ": " << success;
  }
  if (!skipped.empty()) GTEST_SKIP() << "not run as root with unshare, no full disk for: " << skipped.front() << " ...";
}

}  // namespace
