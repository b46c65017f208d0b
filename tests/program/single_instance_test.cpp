// One program per data root, whatever happens to the folder of the window
// channel's sockets: a second start is refused even when the first one's
// window cannot be reached, and a folder that is not the user's own is
// refused with a message, never used.
#include "tests/program/program_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>

namespace {

// Starts the program with XDG_RUNTIME_DIR set, its standard error into a file.
pid_t startWithRuntimeDir(const Installation &inst, const fs::path &root, const fs::path &runtimeDir,
                          const fs::path &errors)
{
  pid_t pid = fork();
  if (pid == 0) {
    endWithTest();
    setenv("QUILLMARSH_ROOT", root.c_str(), 1);
    setenv("QUILLMARSH_DISPLAY", "headless", 1);
    setenv("QM_EXTENSION_RECORD", inst.record.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0)
      dup2(fd, 2);
    execl(inst.program.c_str(), inst.program.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  return pid;
}

std::string textOf(const fs::path &file)
{
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST_F(Program, OneProgramPerDataRootWhateverTheSocketFolderDoes)
{
  makeStore();
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rulesFile({{u"", u"invoice", u"Bills"}}));
  TempDir runtime;
  fs::create_directories(runtime.path / "open" / "quillmarsh");
  fs::permissions(runtime.path / "open" / "quillmarsh", fs::perms(0755)); // readable by others
  struct Case {
    const char *what;
    fs::path runtimeDir;
  } cases[] = {
      {"a runtime folder that is missing", runtime.path / "missing"},
      {"a socket folder open to others", runtime.path / "open"},
  };
  Installation inst;
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    fs::path errors = runtime.path / ("errors-" + std::to_string(++n));
    pid_t first = startWithRuntimeDir(inst, root, c.runtimeDir, errors);
    std::string id = "m" + std::to_string(n) + "@x";
    deliver(store() / "Inbox", std::to_string(n) + ".M1.host", message("ann@example.org", "invoice", id));
    ASSERT_TRUE(waitFor([&] { return folderOf(store(), id) == "Inbox/Bills"; })); // it runs
    EXPECT_EQ(finish(startWithRuntimeDir(inst, root, c.runtimeDir, errors)), 1);
    ASSERT_EQ(kill(first, SIGTERM), 0);
    EXPECT_EQ(finish(first), 0);
    std::string said = textOf(errors);
    // The first start's line: its data root, stores and rules, and how to stop it.
    EXPECT_NE(said.find("Brindlewick: sorting the mail in " + root.string() +
                        " (stores: Local) by 1 rule; decision log off (QUILLMARSH_LOG=decisions turns it on)"
                        "; stop it with Ctrl-C or SIGTERM\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find((c.runtimeDir / "quillmarsh").string()), std::string::npos) << said;
    EXPECT_NE(said.find("Brindlewick: already running on " + root.string()), std::string::npos) << said;
  }
  // The folder open to others was not used.
  EXPECT_TRUE(fs::is_empty(runtime.path / "open" / "quillmarsh"));
}
