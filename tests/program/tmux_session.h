// The program in a real terminal: a tmux server of the test's own with one
// window, the program started in it on the test's data root, the screen
// read back as text and keys sent by their tmux names. Screen content is
// polled with generous limits; nothing depends on how fast it comes.
#pragma once

#include "tests/program/program_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>

extern char **environ;

// Kills the tmux server on `socket` once this process has ended, however it
// ends (a failed assertion, a test runner's timeout, Ctrl-C): a shell waits
// for the end of a pipe only this process holds. setsid forks it off into a
// session of its own, so it is neither in Ctrl-C's process group nor a child
// of the process a timeout kills with its children. The pipe's write end, or
// -1 when the shell could not be started.
inline int killServerWhenTestEnds(const std::string &socket)
{
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::string script = "read end; exec tmux -S \"$0\" kill-server";
  std::vector<std::string> args{"setsid", "--fork", "sh", "-c", script, socket};
  std::vector<char *> argv;
  for (std::string &a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t setsid = 0;
  int spawned = posix_spawnp(&setsid, "setsid", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (spawned != 0) {
    close(fds[1]);
    return -1;
  }
  (void)waitpid(setsid, nullptr, 0); // it ends once the shell is forked off
  return fds[1];
}

struct Tmux {
  std::string socket;
  int watch; // closed with the process at the latest; the server goes with it
  explicit Tmux(const fs::path &dir) : socket((dir / "tmux.sock").string()), watch(killServerWhenTestEnds(socket)) {}
  ~Tmux()
  {
    (void)run("kill-server");
    if (watch >= 0)
      close(watch);
  }
  Tmux(const Tmux &) = delete;
  Tmux &operator=(const Tmux &) = delete;
  int run(const std::string &args) const
  {
    return std::system(("tmux -S '" + socket + "' " + args + " >/dev/null 2>&1").c_str());
  }
  std::string screen() const
  {
    std::string out;
    FILE *p = popen(("tmux -S '" + socket + "' capture-pane -p -t qm 2>/dev/null").c_str(), "r");
    if (!p)
      return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
      out.append(buffer, n);
    pclose(p);
    return out;
  }
  bool shows(const std::string &text) const
  {
    return waitFor([&] { return screen().find(text) != std::string::npos; }, std::chrono::seconds(30));
  }
  // A line of the screen holds first and, after it, then.
  bool showsLine(const std::string &first, const std::string &then) const
  {
    return waitFor(
        [&] {
          std::istringstream lines(screen());
          for (std::string line; std::getline(lines, line);) {
            std::size_t at = line.find(first);
            if (at != std::string::npos && line.find(then, at + first.size()) != std::string::npos)
              return true;
          }
          return false;
        },
        std::chrono::seconds(30));
  }
  bool gone(const std::string &text) const
  {
    return waitFor([&] { return screen().find(text) == std::string::npos; }, std::chrono::seconds(30));
  }
  // Writes text on a line of its own to the pane's terminal as its program
  // would, behind all the program has written so far: once the screen shows
  // it, tmux has drawn everything before it. An absence is checked after
  // such a mark, not after a pause. False when it was not shown.
  bool mark(const std::string &text) const
  {
    std::string tty;
    FILE *p = popen(("tmux -S '" + socket + "' display-message -p -t qm '#{pane_tty}' 2>/dev/null").c_str(), "r");
    if (!p)
      return false;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p))
      tty += buffer;
    pclose(p);
    while (!tty.empty() && tty.back() == '\n')
      tty.pop_back();
    int fd = tty.empty() ? -1 : open(tty.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
      return false;
    const std::string line = "\r\n" + text + "\r\n";
    bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    close(fd);
    return written && shows(text);
  }
  void keys(const std::string &names) const { (void)run("send-keys -t qm " + names); }
  // Types text literally (no key names).
  void type(const std::string &text) const { (void)run("send-keys -t qm -l '" + text + "'"); }
};

inline bool haveTmux()
{
  return std::system("command -v tmux >/dev/null 2>&1") == 0;
}

// The installed program running in a tmux window of cols x rows on root;
// pid() is the program's process id once it has started.
struct TerminalProgram {
  Installation inst;
  fs::path pidFile = inst.dir.path / "pid";
  Tmux tmux{inst.dir.path};

  TerminalProgram(const fs::path &root, int cols, int rows)
  {
    fs::path runtime = inst.dir.path / "run";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    std::string command = "env QUILLMARSH_ROOT='" + root.string() + "' XDG_RUNTIME_DIR='" + runtime.string() +
                          "' TERM=tmux-256color sh -c 'echo \\$\\$ > \"" + pidFile.string() + "\"; exec \"" +
                          inst.program.string() + "\"'";
    started = tmux.run("new-session -d -s qm -x " + std::to_string(cols) + " -y " + std::to_string(rows) +
                       " \"" + command + "\"") == 0;
  }

  pid_t pid() const
  {
    pid_t found = 0;
    waitFor([&] {
      std::ifstream in(pidFile);
      return static_cast<bool>(in >> found);
    });
    return found;
  }

  // SIGTERM, and true once the program has ended.
  bool stop() const
  {
    pid_t p = pid();
    if (p <= 0 || kill(p, SIGTERM) != 0)
      return false;
    return waitFor([&] { return kill(p, 0) != 0; }, std::chrono::seconds(30));
  }

  bool started = false;
};
