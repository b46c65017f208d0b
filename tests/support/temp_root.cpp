#include "tests/support/temp_root.h"

#include "services/checkpoint.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

TempDir::TempDir()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "qm-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir()
{
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

namespace {
TempDir *current = nullptr; // the root of the running test

// A test process that ends with exit (the child of a death test) never
// reaches TearDown: its root goes at the exit instead.
void removeRootAtExit()
{
  flushCheckpoint();
  delete current;
  current = nullptr;
}
} // namespace

void TempRootTest::SetUp()
{
  static const bool atExit = std::atexit(removeRootAtExit) == 0;
  (void)atExit;
  current = new TempDir;
  root = current->path;
  setenv("QUILLMARSH_ROOT", root.c_str(), 1);
}

void TempRootTest::TearDown()
{
  // A checkpoint still being written goes into this root, not the next one.
  flushCheckpoint();
  unsetenv("QUILLMARSH_ROOT");
  delete current;
  current = nullptr;
}

std::vector<unsigned char> TempRootTest::readFile(const std::filesystem::path &relative) const
{
  std::ifstream in(root / relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void TempRootTest::writeFile(const std::filesystem::path &relative,
                             const std::vector<unsigned char> &bytes) const
{
  std::filesystem::create_directories((root / relative).parent_path());
  std::ofstream out(root / relative, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
