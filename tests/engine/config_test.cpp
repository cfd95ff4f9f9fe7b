// Tirvex.ini through the real binary: every line is read, a line that is ignored is reported
// with its number and a value that is no number keeps its default; a file that is not a regular
// one (a directory, a pipe that no one writes to) in the place of Tirvex.ini, a book file or a
// table file is refused without holding start-up up.
#include <gtest/gtest.h>
#include <filesystem>
#include <string>
#include "../support/game_support.h"

namespace {

TEST(Configuration, EveryLineIsReadAndWhatCannotBeUsedIsReported) {
  // The engine's own table library, without tables: loaded, it prints the values it was given.
  const std::string library = std::filesystem::path(TIRVEX_BINARY).parent_path() / "egbbdll.so";
  const std::string withLibrary = "mkdir egbb && ln -s " + library + " egbb/egbbdll.so";
  const std::string warning = "WARNING: Tirvex.ini line ";
  struct { std::string ini, prepare; std::vector<std::string> printed; } rows[] = {
      {"EGBB_PATH=egbb\nEGBB_CACHE=abc\nEGBB_LOAD=xyz\n", withLibrary,
       {warning + "2 EGBB_CACHE value is no number: 4 used\n", warning + "3 EGBB_LOAD value is no number: 1 used\n",
        "EGBB_LOAD=1\nEGBB_CACHE=4\n"}},
      {"EGBB_PATH=egbb\nEGBB_LOAD=2\nX" + std::string(1, '\0') + "Y\nEGBB_CACHE=7\nBOOK_PATH =x\n", withLibrary,
       {warning + "3 ignored: it holds a NUL character\n",
        warning + "5 ignored: not one of BOOK_PATH=, POLYGLOT_BOOK=, EGBB_PATH=, EGBB_CACHE=, EGBB_LOAD=, HASH_MB=\n", "EGBB_LOAD=2\nEGBB_CACHE=7\n"}},
      {"", "rm Tirvex.ini && mkdir Tirvex.ini", {"ERROR: Tirvex.ini file cannot be opened.\nBOOK ERROR"}},
      {"", "rm Tirvex.ini && mkfifo Tirvex.ini", {"ERROR: Tirvex.ini file cannot be opened.\nBOOK ERROR"}},
      {"BOOK_PATH=book\n", "mkdir book && mkfifo book/bookbtm.mbx book/bookwtm.mbx",
       {"BOOK ERROR: Cannot load file: 'book/bookbtm.mbx'\nBOOK ERROR: Cannot load file: 'book/bookwtm.mbx'\n"}},
      {"EGBB_PATH=egbb\n", withLibrary + " && mkfifo egbb/kqk.tvb", {"BOOK ERROR: \nEGBB_LOAD=1\n"}},
      {"EGBB_PATH=egbb\n", "mkdir egbb && mkfifo egbb/egbbdll.so", {"EGBB ERROR: endgame bitbases not loaded."}},
  };
  for (const auto& row : rows) {
    if (Contains(row.prepare, "egbb") && !std::filesystem::exists(library)) {
      ADD_FAILURE() << "the table library " << library << " is not built";
      continue;
    }
    EngineProcess engine;
    engine.WriteFile("Tirvex.ini", row.ini);
    ASSERT_EQ(std::system(("cd " + engine.Directory() + " && " + row.prepare).c_str()), 0) << row.prepare;
    engine.Start();
    engine.Send(Session("quit\n"));
    EXPECT_EQ(engine.Finish(20), 0) << row.prepare;  // a start-up held up is killed
    for (const std::string& text : row.printed) EXPECT_TRUE(Contains(engine.Output(), text)) << engine.Output();
  }
}

}  // namespace
