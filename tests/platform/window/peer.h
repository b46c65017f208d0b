// Starting window_peer (another process for the channel tests) and reading
// what it reports. Every wait is bounded; while waiting, this process keeps
// handling its own messages, since the peer may be sending to it.
#pragma once

#include "tests/platform/window/message_log.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char **environ;

class Peer {
public:
  static constexpr int BOUND_MS = 30000; // longest wait for the peer

  // Starts the peer with args; `env` replaces variables ("NAME=value"); with
  // outFd >= 0 its standard output is that descriptor (a terminal) instead
  // of a pipe, read through readFd.
  explicit Peer(const std::vector<std::string> &args, const std::vector<std::string> &env = {},
                int outFd = -1, int readFd = -1)
  {
    int in[2], out[2] = {-1, -1};
    if (pipe(in) != 0 || (outFd < 0 && pipe(out) != 0))
      return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outFd >= 0 ? outFd : out[1], STDOUT_FILENO);
    std::vector<std::string> argStore{WINDOW_PEER};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &s : argStore)
      argv.push_back(s.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    std::vector<std::string> replacing = env; // and the process it ends with
    replacing.push_back("QM_PEER_PARENT=" + std::to_string(getpid()));
    for (char **e = environ; *e; ++e) {
      std::string entry(*e);
      bool replaced = false;
      for (const std::string &r : replacing)
        replaced = replaced || entry.compare(0, r.find('=') + 1, r, 0, r.find('=') + 1) == 0;
      if (!replaced)
        envStore.push_back(entry);
    }
    envStore.insert(envStore.end(), replacing.begin(), replacing.end());
    std::vector<char *> envp;
    for (auto &s : envStore)
      envp.push_back(s.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, WINDOW_PEER, &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    stdin_ = in[1];
    if (outFd >= 0) {
      stdout_ = readFd;
    } else {
      close(out[1]);
      stdout_ = out[0];
    }
  }

  ~Peer()
  {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdin_ >= 0)
      close(stdin_);
    if (stdout_ >= 0)
      close(stdout_);
  }

  pid_t pid() const { return pid_; }

  // The next line (without its end), or "<eof>" / "<timeout>".
  std::string readLine() { return readUntil("\n"); }

  // Everything up to and including `end`, without it; "<eof>" or
  // "<timeout>" when it does not come.
  std::string readUntil(const std::string &end)
  {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(BOUND_MS);
    for (;;) {
      std::size_t at = buffer_.find(end);
      if (at != std::string::npos) {
        std::string line = buffer_.substr(0, at);
        buffer_.erase(0, at + end.size());
        return line;
      }
      if (eof_)
        return "<eof>";
      if (std::chrono::steady_clock::now() > deadline)
        return "<timeout>";
      flushMessages();
      pollfd p{stdout_, POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        char chunk[256];
        ssize_t n = read(stdout_, chunk, sizeof chunk);
        if (n <= 0)
          eof_ = true;
        else
          buffer_.append(chunk, static_cast<std::size_t>(n));
      }
    }
  }

  // Closes its standard input and waits for it to end; its exit status as
  // waitpid gives it, or -1 when it did not end in time (it is then killed).
  int wait()
  {
    if (stdin_ >= 0) {
      close(stdin_);
      stdin_ = -1;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(BOUND_MS);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        return status;
      }
      readUntil("\x01never\x01"); // drains its output meanwhile, up to its end
      if (!eof_)
        continue;
      if (waitpid(pid_, &status, 0) == pid_) {
        reaped_ = true;
        return status;
      }
    }
    return -1;
  }

  // Whatever is left of its output once it has ended.
  std::string rest() const { return buffer_; }

private:
  pid_t pid_ = -1;        // the peer
  bool reaped_ = false;   // waitpid has collected it
  int stdin_ = -1;        // its standard input, written end
  int stdout_ = -1;       // its standard output, read end
  bool eof_ = false;      // its output has ended
  std::string buffer_;    // output read but not yet taken
};
