// Runs a fuzz target over files without libFuzzer: every file named on the
// command line, or every file in a named folder. This is how the normal test
// run replays the corpus and the inputs that once crashed a target.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

static void runOne(const std::filesystem::path &p)
{
  std::ifstream in(p, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // A copy of exactly the input's size, so a read past it is caught.
  std::vector<std::uint8_t> exact(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(exact.data(), exact.size());
}

int main(int argc, char **argv)
{
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto &e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file())
          runOne(e.path()), ++runs;
    } else {
      runOne(p), ++runs;
    }
  }
  std::printf("replayed %d inputs\n", runs);
  return 0;
}
