// Test harness (header-only, for every test executable): runs the real tirvex binary
// (TIRVEX_BINARY) in a fresh temporary working directory with its own pipes, so tests never
// depend on the terminal or on CI's stdin. RunEngine runs a whole session (input written, then
// closed) and returns stdout, the text of Tirvex.log and the exit status (128 + signal number
// when killed by a signal); EngineProcess is driven word by word (waits have a 60 s limit).
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
#include <string>

// The handshake exactly as the xboard interface sends it before its first command.
inline constexpr const char* XboardHandshake = "xboard\nprotover 2\naccepted setboard\naccepted ping\naccepted done\n";

// Everything a file holds, byte for byte ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A fresh directory under /tmp (path ends in '/'), removed with everything in it.
struct TempDirectory {
  std::string path = std::string(mkdtemp(std::string("/tmp/tirvex-test-XXXXXX").data())) + "/";
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

struct EngineRun {
  std::string out, log;
  int status = -1;
};

class EngineProcess {
 public:
  EngineProcess() = default;
  ~EngineProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (output_ >= 0) close(output_);
  }
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  const std::string& Directory() const { return directory_.path; }

  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(directory_.path + name, std::ios::binary) << text;
  }
  std::string File(const std::string& name) const { return ReadFile(directory_.path + name); }

  void Start() {
    int in[2], out[2];
    // Close-on-exec, so that no other engine started by the tests inherits these pipes.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) std::abort();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      if (chdir(directory_.path.c_str()) != 0) _exit(126);
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

  std::string Log() const { return File("Tirvex.log"); }

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

  TempDirectory directory_;
  pid_t pid_ = -1;
  int input_ = -1, output_ = -1;
  std::string out_;
};

// Runs one whole session in engine's directory: input is written, then the input is closed and
// the engine runs to its exit.
inline EngineRun RunEngine(EngineProcess& engine, const std::string& input) {
  engine.Start();
  engine.Send(input);
  int status = engine.Finish(100);
  return {engine.Output(), engine.Log(), status};
}
// The same in a fresh directory; ini, when given, becomes its Tirvex.ini.
inline EngineRun RunEngine(const std::string& input, std::optional<std::string> ini = std::nullopt) {
  EngineProcess engine;
  if (ini) engine.WriteFile("Tirvex.ini", *ini);
  return RunEngine(engine, input);
}
