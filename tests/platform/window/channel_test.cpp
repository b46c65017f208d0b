// Windows of other processes: found by class and title, posted and sent to
// with WM_COPYDATA's bytes, and everything the receiving end refuses.
#include "tests/platform/window/peer.h"

#include "platform/window/channel.h"
#include "platform/window/window_internal.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using CrossProcess = MessageTest;

const WCHAR *const PEER_CLASS = u"QM Peer";
const WCHAR *const PEER_TITLE = u"Peer One";

// Starts a serving peer and waits until its window exists.
std::unique_ptr<Peer> servingPeer(std::vector<std::string> env = {},
                                  std::vector<std::string> options = {})
{
  options.insert(options.end(), {"serve", "QM Peer", "Peer One"});
  auto peer = std::make_unique<Peer>(options, env);
  EXPECT_EQ(peer->readLine(), "ready");
  return peer;
}

LRESULT sendCopyData(HWND to, ULONG_PTR dwData, std::vector<BYTE> bytes)
{
  COPYDATASTRUCT cds{dwData, static_cast<DWORD>(bytes.size()), bytes.data()};
  return SendMessageW(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

TEST_F(CrossProcess, FindPostAndSendThenGone)
{
  auto peer = servingPeer();
  HWND h = FindWindowW(u"qm peer", u"PEER ONE");
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(IsWindow(h));

  EXPECT_EQ(sendCopyData(h, 4, {0x00, 0x01, 0xFF, 'e'}), 4 + 0 + 1 + 255 + 101);
  EXPECT_EQ(peer->readLine(), "copydata 4 4 0001ff65");
  EXPECT_EQ(sendCopyData(h, 2, {}), 2) << "no bytes at all";
  EXPECT_EQ(peer->readLine(), "copydata 2 0 ");
  EXPECT_TRUE(PostMessageW(h, WM_USER + 1, 5, 6));
  EXPECT_EQ(peer->readLine(), "message 0x401 5 6 posted");
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 3, 4), 7);
  EXPECT_EQ(peer->readLine(), "message 0x402 3 4 sent");

  // Refused on this side: messages that may not cross, and too many bytes.
  EXPECT_FALSE(PostMessageW(h, WM_CLOSE, 0, 0));
  EXPECT_EQ(SendMessageW(h, 0x000C /* WM_SETTEXT */, 0, 0), 0);
  EXPECT_EQ(sendCopyData(h, 1, std::vector<BYTE>(COPYDATA_MAX_BYTES + 1, 7)), 0);
  EXPECT_EQ(sendCopyData(h, 1, std::vector<BYTE>(COPYDATA_MAX_BYTES, 1)),
            1 + static_cast<LRESULT>(COPYDATA_MAX_BYTES))
      << "the largest payload still crosses";
  EXPECT_EQ(peer->readLine().substr(0, 16), "copydata 1 65536");

  EXPECT_TRUE(PostMessageW(h, WM_USER + 9, 5, 0));
  EXPECT_EQ(peer->readLine(), "message 0x409 5 0 posted");
  EXPECT_EQ(peer->readLine(), "quit 5");
  int status = peer->wait();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(FindWindowW(PEER_CLASS, PEER_TITLE), nullptr);
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 0, 0), 0);
}

TEST_F(CrossProcess, WaitingSenderServesTheReceiversQuestion)
{
  window(u"Test Host");
  windowBehaviour() = [](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    return m == WM_USER + 7 ? 70 : DefWindowProcW(hw, m, w, l);
  };
  auto peer = servingPeer();
  HWND h = FindWindowW(PEER_CLASS, PEER_TITLE);
  MessageLog::get().take();
  EXPECT_EQ(sendCopyData(h, 99, {1}), 71);
  okSequence({{WM_USER + 7, sent | inter}}, "asked back from the other process");
}

TEST_F(CrossProcess, PeerSendsToThisProcess)
{
  window(u"Test Host");
  windowBehaviour() = [](HWND hw, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m != WM_COPYDATA)
      return DefWindowProcW(hw, m, w, l);
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(l);
    const auto *bytes = static_cast<const BYTE *>(cds->lpData);
    return static_cast<LRESULT>(cds->dwData * 1000 + cds->cbData * 10 + bytes[0]);
  };
  Peer sender({"send", "QM Test Window", "test host", "5", "0309"});
  EXPECT_EQ(sender.readLine(), "result 5023");
}

TEST_F(CrossProcess, StaleSocketsAreNoWindowAndAreCleaned)
{
  // A socket nobody listens on, as a process that died leaves it.
  std::optional<std::filesystem::path> path = channelSocketPath(u"QM Stale", u"Gone", true);
  ASSERT_TRUE(path);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path->c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  close(fd);
  EXPECT_EQ(FindWindowW(u"QM Stale", u"Gone"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(*path));

  // A peer killed outright leaves its socket behind.
  auto peer = servingPeer();
  std::optional<std::filesystem::path> peerPath = channelSocketPath(PEER_CLASS, PEER_TITLE, false);
  ASSERT_TRUE(peerPath);
  kill(peer->pid(), SIGKILL);
  peer->wait();
  EXPECT_TRUE(std::filesystem::exists(*peerPath));
  EXPECT_EQ(FindWindowW(PEER_CLASS, PEER_TITLE), nullptr);
  EXPECT_FALSE(std::filesystem::exists(*peerPath));

  // A new window takes the place of a stale socket.
  std::optional<std::filesystem::path> hostPath = channelSocketPath(testClass(), u"Test Host", true);
  fd = socket(AF_UNIX, SOCK_STREAM, 0);
  std::strcpy(addr.sun_path, hostPath->c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  close(fd);
  window(u"Test Host");
  Peer sender({"send", "QM Test Window", "Test Host", "1", "00"});
  EXPECT_EQ(sender.readLine(), "result 0") << "DefWindowProcW answers WM_COPYDATA with 0";
}

// Whether a process waits for the channel folder's lock.
bool folderLockWaitedFor(const std::filesystem::path &folder)
{
  struct stat st;
  if (stat(folder.c_str(), &st) != 0)
    return false;
  std::ifstream locks("/proc/locks");
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  for (std::string line; std::getline(locks, line);)
    if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
      return true;
  return false;
}

TEST_F(CrossProcess, ASocketAStartingWindowHasBoundIsNotTakenForADeadOne)
{
  // A window starting: its socket bound, not yet listening, the folder locked.
  std::optional<std::filesystem::path> path = channelSocketPath(u"QM Starting", u"Window", true);
  ASSERT_TRUE(path);
  int lock = channelFolderLock(*path);
  ASSERT_GE(lock, 0);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, path->c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  // Somebody looks for it meanwhile and is refused: it waits to remove the
  // socket until the window is done, and then finds it alive.
  std::thread looker([] { (void)FindWindowW(u"QM Starting", u"Window"); });
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!folderLockWaitedFor(path->parent_path()) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(folderLockWaitedFor(path->parent_path())) << "the looker waits for the folder";
  ASSERT_EQ(listen(fd, 4), 0);
  close(lock);
  looker.join();
  EXPECT_TRUE(std::filesystem::exists(*path));
  EXPECT_NE(FindWindowW(u"QM Starting", u"Window"), nullptr);
  close(fd);
  std::filesystem::remove(*path);
}

TEST_F(CrossProcess, OtherUsersAreRefusedBothWays)
{
  auto peer = servingPeer();
  channelExpectUidForTest(geteuid() + 1);
  EXPECT_EQ(FindWindowW(PEER_CLASS, PEER_TITLE), nullptr) << "its listener is not of our user";
  channelExpectOwnUid();

  // A receiver that takes only another user's connections drops ours unread.
  auto strict = std::make_unique<Peer>(
      std::vector<std::string>{"--expect-uid", std::to_string(geteuid() + 1), "serve", "QM Peer",
                               "Strict"});
  ASSERT_EQ(strict->readLine(), "ready");
  HWND h = FindWindowW(PEER_CLASS, u"Strict");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 1, 1), 0) << "closed without an answer";
  kill(strict->pid(), SIGTERM);
  strict->wait();
  EXPECT_EQ(strict->rest(), "") << "nothing reached its window";
}

TEST_F(CrossProcess, DataRootsKeepProgramsApart)
{
  TempDir otherRoot;
  auto other = servingPeer({"QUILLMARSH_ROOT=" + otherRoot.path.string()});
  EXPECT_EQ(FindWindowW(PEER_CLASS, PEER_TITLE), nullptr);
  auto same = servingPeer();
  EXPECT_NE(FindWindowW(PEER_CLASS, PEER_TITLE), nullptr);
}

TEST_F(CrossProcess, HungReceiverEndsTheWaitAtTheLimit)
{
  Peer hung({"hang", "QM Peer", "Hung"});
  ASSERT_EQ(hung.readLine(), "ready");
  HWND h = FindWindowW(PEER_CLASS, u"Hung");
  ASSERT_NE(h, nullptr);
  DWORD_PTR result = 5;
  EXPECT_EQ(SendMessageTimeoutW(h, WM_USER + 1, 0, 0, SMTO_ABORTIFHUNG, 100, &result), 0);
  EXPECT_EQ(result, 5u);

  // Connections pile up unaccepted until its backlog is full: the window is
  // still found (a second instance must not start beside it), but nothing
  // more can be delivered.
  for (int i = 0; i < 80; ++i)
    ASSERT_NE(FindWindowW(PEER_CLASS, u"Hung"), nullptr) << i;
  EXPECT_FALSE(PostMessageW(h, WM_USER + 1, 0, 0));
}

TEST_F(CrossProcess, FolderOpenToOthersIsNotUsed)
{
  std::filesystem::path dir = runtime->path / "quillmarsh";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  EXPECT_FALSE(channelDirectory(true));
  window(u"Test Host");
  EXPECT_TRUE(std::filesystem::is_empty(dir)) << "the window is not published there";

  std::filesystem::remove(dir);
  TempDir elsewhere;
  std::filesystem::permissions(elsewhere.path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  std::filesystem::create_directory_symlink(elsewhere.path, dir);
  EXPECT_FALSE(channelDirectory(true)) << "a symbolic link in the folder's place";
}

// Receiving end, fed by hand: every request that is not right is refused
// before it reaches the window; a right one is picked up and answered.
TEST_F(CrossProcess, ReceiverRefusesWhatItCannotAccept)
{
  window(u"Raw Host");
  std::optional<std::filesystem::path> path = channelSocketPath(testClass(), u"Raw Host", false);
  ASSERT_TRUE(path);
  ChannelRequest good;
  good.kind = ChannelKind::Sent;
  good.message = WM_USER + 3;
  good.className = testClass();
  good.title = u"raw host";
  good.wParam = 2;
  good.lParam = 3;

  auto withHeader = [](ChannelRequest r, std::size_t offset, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = encodeRequest(r);
    for (int i = 0; i < 4; ++i)
      bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
  };
  ChannelRequest wrongTitle = good;
  wrongTitle.title = u"Other Title";
  ChannelRequest postedCopy = good;
  postedCopy.kind = ChannelKind::Posted;
  postedCopy.message = WM_COPYDATA;
  ChannelRequest pointerMessage = good;
  pointerMessage.message = 0x000C;
  std::vector<std::uint8_t> oversize = withHeader(good, 20, COPYDATA_MAX_BYTES + 1);
  oversize[8] = 0x4A; // WM_COPYDATA, so only its size is wrong
  oversize[9] = 0;
  oversize.resize(CHANNEL_REQUEST_HEADER);

  const struct {
    const char *what;
    std::vector<std::uint8_t> bytes;
    std::vector<ReplyStatus> replies;
  } cases[] = {
      {"bad magic", withHeader(good, 0, 0x12345678), {ReplyStatus::Refused}},
      {"posted WM_COPYDATA", encodeRequest(postedCopy), {ReplyStatus::Refused}},
      {"empty class name", withHeader(good, 12, 0), {ReplyStatus::Refused}},
      {"oversize data", oversize, {ReplyStatus::Refused}},
      {"message with a pointer", encodeRequest(pointerMessage), {ReplyStatus::Refused}},
      {"another window's title", encodeRequest(wrongTitle), {ReplyStatus::Refused}},
      {"right", encodeRequest(good), {ReplyStatus::PickedUp, ReplyStatus::Done}},
  };
  for (const auto &c : cases) {
    MessageLog::get().take();
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path->c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0) << c.what;
    ASSERT_EQ(send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(c.bytes.size()));
    std::vector<std::uint8_t> got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool closed = false;
    while (!closed && std::chrono::steady_clock::now() < deadline) {
      flushMessages();
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        std::uint8_t chunk[64];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        closed = n <= 0;
        if (n > 0)
          got.insert(got.end(), chunk, chunk + n);
      }
    }
    close(fd);
    std::vector<ReplyStatus> statuses;
    std::size_t at = 0, used = 0;
    ChannelReply reply;
    while (decodeReply(got.data() + at, got.size() - at, &reply, &used) == Decoded::Complete) {
      statuses.push_back(reply.status);
      at += used;
    }
    EXPECT_EQ(statuses, c.replies) << c.what;
    if (c.replies.size() == 2) {
      EXPECT_EQ(reply.result, 0u) << "DefWindowProcW's answer";
      okSequence({{WM_USER + 3, sent | inter | wparam | lparam, 2, 3}}, c.what);
    } else {
      okSequence({}, c.what);
    }
  }
}

} // namespace
