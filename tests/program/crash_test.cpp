// The program killed (SIGKILL) at random moments of its work while another
// process delivers and a mail client renames, then started again each time:
// every message ends in exactly one place, whole, where its rule puts it;
// nothing is left in tmp/; every download asked for is completed; the rules
// and known-users files are whole. Bounded in time, so it runs in CI. The
// store's layout is a parameter: the program's own, and Maildir++ (the top
// Maildir is the Inbox), as most people's existing mail is laid out.
#include "platform/maildir/delivery.h"
#include "tests/program/program_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <set>
#include <sys/mman.h>

namespace {

// Where a layout keeps the Inbox and the rule's folder, below the store's
// directory.
struct StoreLayout {
  const char *name;                // for the test's name
  std::vector<std::string> inbox;  // the Inbox's folder path
  const char *bills;               // the directory of the Inbox's subfolder "Bills"
};

// What is known of one message: its text, and what its rule does with it.
struct Sent {
  enum Kind { Bulk, Plain, HeaderOnly } kind; // moved to Bills / stays / downloaded and stays
  std::string text;                            // the full text
};

constexpr int FIRST_PASS = 2000; // in the Inbox before the first start
constexpr int DELIVERED = 400;   // delivered while the program is killed and started
constexpr int KILLS = 5;

std::string textOf(Sent::Kind kind, int n)
{
  std::string id = std::to_string(n) + "@crash.test";
  if (kind == Sent::Bulk)
    return message("s" + std::to_string(n % 50) + "@example.org", "bulk " + std::to_string(n), id);
  if (kind == Sent::HeaderOnly)
    return message("news@example.org", "news " + std::to_string(n), id) + "The whole text " + id + ".\r\n";
  return message("friend@example.org", "hello " + std::to_string(n), id);
}

Sent::Kind kindOf(int n) { return n % 5 == 0 ? Sent::HeaderOnly : n % 3 == 0 ? Sent::Plain : Sent::Bulk; }

// The Message-ID of a message text, or "".
std::string messageIdIn(const std::string &text)
{
  std::size_t at = text.find("Message-ID: <");
  std::size_t end = at == std::string::npos ? at : text.find('>', at);
  return end == std::string::npos ? std::string() : text.substr(at + 13, end - at - 13);
}

std::string contents(const fs::path &p)
{
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A child process that runs `work` and then ends; it ends with the test too.
template <class Work>
pid_t spawn(Work work)
{
  pid_t pid = fork();
  if (pid == 0) {
    endWithTest();
    work();
    _exit(0);
  }
  return pid;
}

// The entries of a known-users file, or nothing when it is not one whole
// list (a cut or damaged file).
std::optional<std::set<std::string>> knownUsersIn(const std::string &bytes)
{
  std::set<std::string> out;
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 2)
      return std::nullopt;
    std::size_t length = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    if (length > 127 || bytes.size() - at - 2 < length + 4)
      return std::nullopt;
    out.insert(bytes.substr(at + 2, length));
    at += 2 + length + 4;
  }
  return out;
}

class CrashTest : public Program, public testing::WithParamInterface<StoreLayout> {
protected:
  // The store with its Inbox (and, in the program's own layout, its other
  // standard folders).
  void makeLayoutStore() const
  {
    if (GetParam().inbox.empty()) {
      for (const char *sub : {"cur", "new", "tmp"})
        fs::create_directories(store() / sub);
      return;
    }
    makeStore();
  }

  fs::path inbox() const
  {
    fs::path p = store();
    for (const std::string &part : GetParam().inbox)
      p /= part;
    return p;
  }

  // Delivers message n: as a mail program does, or header-only as the store
  // tool does (with its full text in the transport area).
  void deliverOne(int n) const
  {
    Sent::Kind kind = kindOf(n);
    if (kind != Sent::HeaderOnly) {
      deliver(inbox(), std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".crash", textOf(kind, n));
      return;
    }
    auto unique = deliverToStore(DeliveryTarget{root / "Mail", root / "Transport", "Local", GetParam().inbox},
                                 textOf(kind, n), kind == Sent::HeaderOnly);
    if (!unique)
      _exit(3);
  }
};

} // namespace

TEST_P(CrashTest, KilledAtRandomWhileMailArrivesAndAClientRenamesLosesAndDuplicatesNothing)
{
  unsigned seed = std::random_device{}();
  RecordProperty("seed", std::to_string(seed));
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);

  makeLayoutStore();
  // Bulk mail to Bills; news (header-only) downloaded where it is.
  Bytes rules = rulesFile({{u"", u"bulk", u"Bills"}, {u"news@example.org", u"", u""}});
  rules[14 + 2064 + 2062] = 1; // the second rule downloads
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rules);
  Bytes known = knownUser("ann@example.org", 1);
  Bytes bob = knownUser("bob@example.org", 2);
  known.insert(known.end(), bob.begin(), bob.end());
  writeFile("Application Data/Brindlewick/KnownUsers.dat", known);
  for (int n = 0; n < FIRST_PASS; ++n)
    deliverOne(n);

  // Another process delivers, a mail client moves what it sees from new/ to
  // cur/ (flags kept, or read), until told to stop.
  pid_t deliverer = spawn([&] {
    for (int n = FIRST_PASS; n < FIRST_PASS + DELIVERED; ++n) {
      deliverOne(n);
      std::this_thread::sleep_for(std::chrono::milliseconds(12));
    }
  });
  auto *clientStop = static_cast<std::atomic<bool> *>(
      mmap(nullptr, sizeof(std::atomic<bool>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(clientStop, MAP_FAILED);
  new (clientStop) std::atomic<bool>(false);
  pid_t client = spawn([&] {
    unsigned turn = 0;
    while (!clientStop->load()) {
      std::error_code ec;
      for (const auto &e : fs::directory_iterator(inbox() / "new", ec)) {
        std::string name = e.path().filename().string();
        std::string info = ++turn % 4 == 0 ? ":2,S" : ":2,";
        fs::rename(e.path(), inbox() / "cur" / (name + info), ec); // gone already: moved by the program
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });

  Installation inst;
  for (int k = 0; k < KILLS; ++k) {
    pid_t pid = start(inst, root);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(150, 1500)(random)));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    EXPECT_EQ(finish(pid), -1) << "killed " << k;
  }
  EXPECT_EQ(finish(deliverer, std::chrono::seconds(30)), 0);
  clientStop->store(true);
  EXPECT_EQ(finish(client), 0);
  munmap(clientStop, sizeof(std::atomic<bool>));

  // The last start sorts what is left; then every message is where its rule puts it.
  std::map<std::string, Sent> sent;
  for (int n = 0; n < FIRST_PASS + DELIVERED; ++n)
    sent[std::to_string(n) + "@crash.test"] = Sent{kindOf(n), textOf(kindOf(n), n)};
  struct Found {
    std::vector<fs::path> files; // where it is
  };
  auto census = [&] {
    std::map<std::string, Found> found;
    for (const auto &e : fs::recursive_directory_iterator(root / "Mail")) {
      std::string dir = e.path().parent_path().filename();
      if (e.is_regular_file() && (dir == "cur" || dir == "new"))
        found[messageIdIn(contents(e.path()))].files.push_back(e.path());
    }
    return found;
  };
  // Settled: as many files in Bills as bulk messages were sent, the rest in
  // the Inbox, no full text waiting in the transport area.
  std::size_t bulk = 0;
  for (const auto &[id, s] : sent)
    bulk += s.kind == Sent::Bulk ? 1 : 0;
  auto filesIn = [](const fs::path &folder) {
    std::size_t n = 0;
    std::error_code ec;
    for (const char *sub : {"cur", "new"})
      for (auto it = fs::directory_iterator(folder / sub, ec); !ec && it != fs::directory_iterator(); ++it)
        ++n;
    return n;
  };
  auto settled = [&] {
    std::error_code ec;
    fs::path bills;
    for (const auto &e : fs::recursive_directory_iterator(store(), ec))
      if (e.path().filename() == GetParam().bills)
        bills = e.path();
    return !bills.empty() && filesIn(bills) == bulk && filesIn(inbox()) == sent.size() - bulk &&
           fs::is_empty(root / "Transport" / "Local", ec);
  };
  // The start-up line says the program is up, and its SIGTERM handling with
  // it: the killed runs may have sorted everything, and a store settled at
  // once must not see the signal come before the program can take it.
  TempDir logs;
  pid_t pid = start(inst, root, logs.path / "stderr");
  ASSERT_TRUE(waitFor([&] { return contents(logs.path / "stderr").find("Brindlewick: sorting") != std::string::npos; }));
  bool done = waitFor(settled, std::chrono::seconds(60));
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(finish(pid), 0);

  std::map<std::string, Found> found = census();
  EXPECT_EQ(found.size(), sent.size()) << "messages that are not the ones sent";
  for (const auto &[id, s] : sent) {
    auto it = found.find(id);
    ASSERT_NE(it, found.end()) << id << " is lost";
    ASSERT_EQ(it->second.files.size(), 1u) << id << " is there " << it->second.files.size() << " times";
    const fs::path &file = it->second.files[0];
    EXPECT_EQ(file.parent_path().parent_path().filename() == GetParam().bills, s.kind == Sent::Bulk) << file;
    EXPECT_EQ(contents(file), s.text) << file << (s.kind == Sent::HeaderOnly ? " (not downloaded)" : "");
  }
  EXPECT_TRUE(done) << "not sorted within a minute of the last start";
  // Nothing left half done: no file in any tmp/, no full text waiting.
  for (const auto &e : fs::recursive_directory_iterator(root / "Mail"))
    EXPECT_FALSE(e.is_regular_file() && e.path().parent_path().filename() == "tmp") << e.path();
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(root / "Transport" / "Local", ec))
    ADD_FAILURE() << "a download not completed: " << e.path();
  // The data files are whole: the rules as written, the known users a whole
  // list that still holds the first ones, nothing kept as damaged.
  EXPECT_EQ(readFile("Application Data/Brindlewick/Brindlewick.dat"), rules);
  auto users = knownUsersIn(contents(root / "Application Data/Brindlewick/KnownUsers.dat"));
  ASSERT_TRUE(users) << "the known-users file is not one whole list";
  EXPECT_TRUE(users->count("ann@example.org") && users->count("bob@example.org"));
  for (const auto &e : fs::directory_iterator(root / "Application Data/Brindlewick"))
    EXPECT_EQ(e.path().extension(), ".dat") << e.path();
}

INSTANTIATE_TEST_SUITE_P(Layouts, CrashTest,
                         testing::Values(StoreLayout{"OneDirectoryPerFolder", {"Inbox"}, "Bills"},
                                         StoreLayout{"MaildirPlusPlus", {}, ".Bills"}),
                         [](const testing::TestParamInfo<StoreLayout> &info) { return info.param.name; });
