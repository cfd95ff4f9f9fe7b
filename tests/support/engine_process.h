// Test harness: runs the real tirvex binary (TIRVEX_BINARY) in a fresh temporary working
// directory with its own pipes, so tests never depend on the terminal or on CI's stdin.
//
// Whole session at once:
//   EngineRun run = RunEngine("xboard\nprotover 2\n...\nquit\n");           // no Tirvex.ini
//   EngineRun run = RunEngine(input, "EGBB_CACHE=2\n");                     // with a Tirvex.ini
//   run.out: everything written to stdout; run.log: the text of Tirvex.log;
//   run.status: the exit status (128 + signal number when killed by a signal).
//
// Interactive session (to send words while the engine searches or ponders):
//   EngineProcess engine;                     // creates the directory, does not start yet
//   engine.WriteFile("Tirvex.ini", "...");    // optional files in the working directory
//   engine.Start();
//   engine.Send("xboard\n...");
//   engine.WaitForOutput("move ");            // true once stdout contains the text (60 s limit)
//   engine.WaitForLog("-ponder move: ");      // the same for Tirvex.log
//   engine.WaitForOutputWhere([](const std::string& out) { ... });  // any condition on stdout
//   int status = engine.Finish();             // closes stdin, waits for the exit (kills after 60 s)
// Output() and Log() return the text so far; the directory is removed by the destructor.
//
// Header-only so that both test executables (fast and slow) can include it.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

// The handshake exactly as the xboard interface sends it before its first command.
inline constexpr const char* XboardHandshake = "xboard\nprotover 2\naccepted done\naccepted setboard\naccepted done\n";

struct EngineRun {
  std::string out;
  std::string log;
  int status;
};

class EngineProcess {
 public:
  EngineProcess() {
    char pattern[] = "/tmp/tirvex-test-XXXXXX";
    directory_ = mkdtemp(pattern);
  }
  ~EngineProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (output_ >= 0) close(output_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  const std::string& Directory() const { return directory_; }

  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(directory_ + "/" + name, std::ios::binary) << text;
  }

  void Start() {
    int in[2], out[2];
    // Close-on-exec, so that no other engine started by the tests inherits these pipes.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      if (chdir(directory_.c_str()) != 0) _exit(126);
      execl(TIRVEX_BINARY, TIRVEX_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
    signal(SIGPIPE, SIG_IGN);
  }

  void Send(const std::string& text) {
    if (input_ >= 0 && write(input_, text.data(), text.size()) < 0) CloseInput();
  }

  void CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  bool WaitForOutput(const std::string& text, int seconds = 60) {
    return WaitUntil(seconds, [&] { return out_.find(text) != std::string::npos; });
  }

  // True once done(output so far) holds.
  template <typename Condition>
  bool WaitForOutputWhere(Condition done, int seconds = 60) {
    return WaitUntil(seconds, [&] { return done(out_); });
  }

  bool WaitForLog(const std::string& text, int seconds = 60) {
    return WaitUntil(seconds, [&] { return Log().find(text) != std::string::npos; });
  }

  const std::string& Output() {
    Drain(0);
    return out_;
  }

  std::string Log() const {
    std::ifstream file(directory_ + "/Tirvex.log", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  // Closes the engine's input and waits for it to exit; returns its exit status.
  int Finish(int seconds = 60) {
    CloseInput();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (output_ >= 0 && std::chrono::steady_clock::now() < deadline) Drain(100);
    if (output_ >= 0) kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  void Signal(int number) const { kill(pid_, number); }

 private:
  // Reads what the engine has written, waiting up to milliseconds for the first bytes.
  void Drain(int milliseconds) {
    if (output_ < 0) return;
    pollfd fd{output_, POLLIN, 0};
    while (poll(&fd, 1, milliseconds) > 0) {
      char buffer[4096];
      ssize_t n = read(output_, buffer, sizeof buffer);
      if (n <= 0) {
        close(output_);
        output_ = -1;
        return;
      }
      out_.append(buffer, static_cast<size_t>(n));
      milliseconds = 0;
    }
  }

  template <typename Condition>
  bool WaitUntil(int seconds, Condition done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      if (output_ < 0) return done();
      Drain(50);
    }
    return true;
  }

  std::string directory_;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string out_;
};

// Runs one whole session: input is written, then the input is closed and the engine runs
// to its exit. ini, when given, becomes the Tirvex.ini of the working directory.
inline EngineRun RunEngine(const std::string& input, std::optional<std::string> ini = std::nullopt) {
  EngineProcess engine;
  if (ini) engine.WriteFile("Tirvex.ini", *ini);
  engine.Start();
  engine.Send(input);
  int status = engine.Finish();
  return {engine.Output(), engine.Log(), status};
}
