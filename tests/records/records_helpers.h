// Shared by the record tests: whole files, the sample of master games, and engine sessions
// run in a scratch directory.
#pragma once
#include <cstdlib>
#include <utility>
#include <vector>
#include "../movegen/movegen_helpers.h"
#include "../support/engine_process.h"
#include "records/records.h"

namespace records_test {

inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// 38 master games: 37 finished ones and, as game 33, one ending in "*".
inline const std::string Sample = ReadFile(TIRVEX_SOURCE_DIR "/tests/data/masters_sample.pgn");

// The commands run between the handshake and quit, in a fresh directory holding the files
// (and what the shell command prepare leaves there).
struct Session {
  EngineProcess engine;
  std::string out, log;
  Session(const std::string& commands, const std::vector<std::pair<std::string, std::string>>& files,
          const std::string& prepare = "") {
    for (auto& [name, text] : files) engine.WriteFile(name, text);
    if (!prepare.empty() && std::system(("cd " + engine.Directory() + " && " + prepare).c_str()) != 0) return;
    engine.Start();
    engine.Send(std::string(XboardHandshake) + commands + "quit\n");
    engine.Finish(100);
    out = engine.Output();
    log = engine.Log();
  }
  std::string File(const std::string& name) const { return ReadFile(engine.Directory() + "/" + name); }
};

}  // namespace records_test
