// A fresh data root per test: QUILLMARSH_ROOT points at a temporary folder
// that is removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class TempRootTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Reads a file below the root whole; empty when missing.
  std::vector<unsigned char> readFile(const std::filesystem::path &relative) const;
  void writeFile(const std::filesystem::path &relative, const std::vector<unsigned char> &bytes) const;

  std::filesystem::path root; // the temporary data root
};

// A folder for a test of its own making, removed at destruction.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::filesystem::path path; // the folder
};
