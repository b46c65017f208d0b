// The engine over the real Maildir store, as the program runs it: a
// header-only message asked for, completed by the transport and then moved;
// a write the store refuses for one value.
#include "tests/engine/engine_scene.h"

#include "platform/maildir/delivery.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/maildir/side_file.h"
#include "platform/maildir/store_layout.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string BIG_TEXT = "From: Ann <ann@example.org>\r\nTo: bob@example.org\r\nSubject: big\r\n\r\n" +
                             std::string(5000, 'x') + "\r\n";

class MaildirFlowTest : public TempRootTest {
protected:
  static void SetUpTestSuite()
  {
    HMODULE self = GetModuleHandleW(nullptr);
    registerProgramResources(self);
    resourceModule = self;
  }

  void SetUp() override
  {
    TempRootTest::SetUp();
    messageBoxRecordForTest(IDOK);
    createReadAgeLock();
    createKnownUsersLock();
    provider = createMaildirProvider(MaildirOptions{});
    MAPISetProvider(provider);
  }

  void TearDown() override
  {
    closeSession();
    MAPISetProvider(nullptr);
    destroyMaildirProvider(provider);
    clearRules();
    clearKnownUsers();
    deleteKnownUsersLock();
    deleteReadAgeLock();
    messageBoxUseReal();
    unsetenv("QUILLMARSH_TRANSPORT");
    TempRootTest::TearDown();
  }

  fs::path inbox() const { return root / "Mail/Local/Inbox"; }

  // Delivers a message as a mail server would; its unique name.
  std::string deliver(const std::string &text, bool headerOnly)
  {
    auto unique = deliverToStore(DeliveryTarget{mailRoot(), transportRoot(), "Local", {"Inbox"}}, text,
                                 headerOnly, DeliveryOptions{});
    EXPECT_TRUE(unique);
    return unique ? *unique : std::string();
  }

  // The message's file below the store (its folder path and name), or "".
  std::string fileOf(const std::string &unique) const
  {
    for (const auto &e : fs::recursive_directory_iterator(root / "Mail/Local"))
      if (e.path().filename().string().rfind(unique, 0) == 0)
        return fs::relative(e.path(), root / "Mail/Local").string();
    return "";
  }

  // Revisits until done holds, at most thirty seconds (the store's own thread
  // completes downloads and reports changes meanwhile).
  static bool revisitUntil(const std::function<bool()> &done)
  {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      revisitAllStores();
      (void)MAPIWaitForNotifications(1000);
      if (done())
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
  }

  MapiProvider *provider = nullptr; // the Maildir provider of this test
};

} // namespace

TEST_F(MaildirFlowTest, AHeaderOnlyMessageIsAskedForCompletedAndThenMoved)
{
  std::string unique = deliver(BIG_TEXT, true);
  addRule({.from = u"ann@example.org", .moveTo = u"Ann", .download = true});
  openSession();
  ASSERT_TRUE(revisitUntil([&] { return fileOf(unique).rfind("Inbox/Ann/cur/", 0) == 0; })) << fileOf(unique);
  std::ifstream in(root / "Mail/Local" / fileOf(unique), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), BIG_TEXT) << "moved with its full text";
  EXPECT_FALSE(fs::exists(transportRoot() / "Local" / unique));
  EXPECT_TRUE(messageBoxTakeRecorded().empty());
}

// The store takes a message's values one by one: a value it cannot write
// comes back in the problem array of a call that succeeds.
TEST_F(MaildirFlowTest, AValueTheStoreRefusesIsWrittenAgainAtTheNextEvaluation)
{
  setenv("QUILLMARSH_TRANSPORT", "hold", 1); // the mark stays for the test to see
  std::string unique = deliver(BIG_TEXT, true);
  fs::create_directories(inbox() / SIDE_FILE_NAME); // no status can be written
  addRule({.from = u"ann@example.org", .download = true});
  testing::internal::CaptureStderr();
  openSession();
  revisitAllStores();
  (void)MAPIWaitForNotifications(1000);
  (void)testing::internal::GetCapturedStderr();
  EXPECT_TRUE(readSideFile(inbox()).empty());
  fs::remove(inbox() / SIDE_FILE_NAME);
  ASSERT_TRUE(revisitUntil([&] {
    auto side = readSideFile(inbox());
    auto it = side.find(unique);
    return it != side.end() && it->second.status && (*it->second.status & MSGSTATUS_REMOTE_DOWNLOAD);
  })) << "the refused download request is made again";
}
