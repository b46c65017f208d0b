// Terminal lending: a process without a display (the peer, headless) shows
// its screens on a pseudo-terminal that this process lends it with a sent
// message, takes its keys from there, and gives it back as it found it,
// also when the lender or the terminal goes away; a second lend meanwhile
// is refused, and a receiver with a terminal of its own declines.
#include "tests/platform/window/peer.h"

#include "platform/window/channel.h"
#include "platform/window/lend.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>

#include <thread>

namespace {

using Lending = MessageTest;

constexpr UINT SHOW_MENU_SCREEN = WM_USER + 20; // the peer's screen with "Alpha" (11) and "Beta" (12)
constexpr UINT COUNT_DESCRIPTORS = WM_USER + 21;

// A pseudo-terminal of 80 x 24; what is written to it is collected from its
// master side.
struct Pty {
  int master = -1, slave = -1;
  std::string seen;
  Pty()
  {
    winsize ws{};
    ws.ws_col = 80;
    ws.ws_row = 24;
    if (openpty(&master, &slave, nullptr, nullptr, &ws) == 0) {
      fcntl(master, F_SETFD, FD_CLOEXEC);
      fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
  }
  ~Pty()
  {
    closeMaster();
    if (slave >= 0)
      close(slave);
  }
  void closeMaster()
  {
    if (master >= 0)
      close(master);
    master = -1;
  }
  // Reads what arrived for up to ms; true once `text` has been seen.
  bool shows(const std::string &text, int ms = Peer::BOUND_MS)
  {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        char chunk[4096];
        ssize_t n = read(master, chunk, sizeof chunk);
        if (n > 0)
          seen.append(chunk, static_cast<std::size_t>(n));
      }
    }
    return seen.find(text) != std::string::npos;
  }
  void type(const std::string &keys) const { (void)!write(master, keys.data(), keys.size()); }
};

termios settingsOf(int fd)
{
  termios t{};
  tcgetattr(fd, &t);
  return t;
}

bool sameSettings(const termios &a, const termios &b)
{
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
         a.c_cflag == b.c_cflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

std::unique_ptr<Peer> headlessPeer()
{
  auto peer = std::make_unique<Peer>(std::vector<std::string>{"serve", "QM Peer", "Lender Test"});
  EXPECT_EQ(peer->readLine(), "ready");
  return peer;
}

// Sends the menu screen from another thread with the pty lent; the outcome
// and result arrive when the peer has handled it.
struct LendOnThread {
  LendOutcome outcome = LendOutcome::Failed;
  LRESULT result = -1;
  std::thread thread;
  LendOnThread(const char16_t *title, int fd)
  {
    thread = std::thread([this, title, fd] {
      HWND h = FindWindowW(u"QM Peer", title);
      outcome = sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, fd, "xterm", 0, &result);
    });
  }
  void join() { thread.join(); }
};

TEST_F(Lending, HeadlessReceiverShowsOnTheLentTerminalAndGivesItBack)
{
  auto peer = headlessPeer();
  HWND h = FindWindowW(u"QM Peer", u"Lender Test");
  ASSERT_NE(h, nullptr);
  const LRESULT descriptorsBefore = SendMessageW(h, COUNT_DESCRIPTORS, 0, 0);
  Pty pty;
  ASSERT_GE(pty.master, 0);
  const termios before = settingsOf(pty.slave);

  LendOnThread first(u"Lender Test", pty.slave);
  ASSERT_TRUE(pty.shows("Lent Screen")) << pty.seen;
  ASSERT_TRUE(pty.shows("Beta")) << pty.seen;

  // A second lend while the first is in progress is refused, not handled.
  Pty other;
  LRESULT otherResult = -1;
  EXPECT_EQ(sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, other.slave, "xterm", 0, &otherResult),
            LendOutcome::Busy);
  EXPECT_EQ(otherResult, -1);
  EXPECT_FALSE(other.shows("Lent Screen", 300));

  pty.type("\x1bOB\r"); // Down (as xterm sends it in keypad mode), Enter: "Beta"
  first.join();
  EXPECT_EQ(first.outcome, LendOutcome::Lent);
  EXPECT_EQ(first.result, 12);
  EXPECT_TRUE(sameSettings(settingsOf(pty.slave), before)) << "the terminal is back as it was";
  EXPECT_EQ(SendMessageW(h, COUNT_DESCRIPTORS, 0, 0), descriptorsBefore) << "nothing kept open";
}

TEST_F(Lending, AHandlingThatShowsNothingLeavesTheLentTerminalUntouched)
{
  auto peer = headlessPeer();
  HWND h = FindWindowW(u"QM Peer", u"Lender Test");
  ASSERT_NE(h, nullptr);
  Pty pty;
  ASSERT_GE(pty.master, 0);
  const termios before = settingsOf(pty.slave);
  LRESULT result = -1;
  // Counting descriptors opens no screen: ncurses never starts there.
  EXPECT_EQ(sendMessageLendingFd(h, COUNT_DESCRIPTORS, 0, 0, pty.slave, "xterm", 0, &result), LendOutcome::Lent);
  EXPECT_GT(result, 0);
  EXPECT_FALSE(pty.shows("\x1b", 200)) << "nothing was written to it: " << pty.seen.size() << " bytes";
  EXPECT_TRUE(pty.seen.empty());
  EXPECT_TRUE(sameSettings(settingsOf(pty.slave), before));
  // A type ncurses does not know is refused before anything is handled.
  EXPECT_EQ(sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, pty.slave, "no-such-terminal", 0, &result),
            LendOutcome::Failed);
  EXPECT_TRUE(pty.seen.empty());
  // A screen afterwards takes the terminal over as before.
  LendOnThread shown(u"Lender Test", pty.slave);
  ASSERT_TRUE(pty.shows("Lent Screen")) << pty.seen;
  pty.type("\r"); // "Alpha"
  shown.join();
  EXPECT_EQ(shown.result, 11);
  EXPECT_TRUE(sameSettings(settingsOf(pty.slave), before));
}

TEST_F(Lending, HangUpOrALenderThatDiesClosesTheScreenAndTheReceiverGoesOn)
{
  auto peer = headlessPeer();
  HWND h = FindWindowW(u"QM Peer", u"Lender Test");
  const LRESULT descriptorsBefore = SendMessageW(h, COUNT_DESCRIPTORS, 0, 0);
  {
    SCOPED_TRACE("the terminal hangs up");
    Pty pty;
    LendOnThread lend(u"Lender Test", pty.slave);
    ASSERT_TRUE(pty.shows("Alpha")) << pty.seen;
    pty.closeMaster();
    lend.join();
    EXPECT_EQ(lend.outcome, LendOutcome::Lent);
    EXPECT_EQ(lend.result, 0) << "closed as cancelled";
  }
  {
    SCOPED_TRACE("the lender is killed; its terminal stays");
    Pty pty;
    Peer lender({"lend", "QM Peer", "Lender Test"}, {"TERM=xterm"}, pty.slave, -1);
    ASSERT_TRUE(pty.shows("Alpha")) << pty.seen;
    kill(lender.pid(), SIGKILL);
    // The receiver notices the lender's end, closes the screen and goes
    // on; until it has, what it answers comes from inside the lend.
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Peer::BOUND_MS);
    while (SendMessageW(h, COUNT_DESCRIPTORS, 0, 0) != descriptorsBefore && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(SendMessageW(h, COUNT_DESCRIPTORS, 0, 0), descriptorsBefore) << "nothing kept open";
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 3, 4), 7) << "it goes on headless";
  EXPECT_EQ(peer->readLine(), "message 0x402 3 4 sent");
  EXPECT_TRUE(PostMessageW(h, WM_USER + 9, 0, 0));
  EXPECT_EQ(peer->readLine(), "message 0x409 0 0 posted");
  EXPECT_EQ(peer->readLine(), "quit 0");
}

TEST_F(Lending, ReceiverWithATerminalOfItsOwnDeclines)
{
  Pty own;
  ASSERT_GE(own.master, 0);
  Peer peer({"serve", "QM Peer", "Own Terminal"}, {"TERM=xterm"}, own.slave, -1);
  ASSERT_TRUE(own.shows("ready")) << own.seen;
  HWND h = FindWindowW(u"QM Peer", u"Own Terminal");
  ASSERT_NE(h, nullptr);
  Pty lent;
  LRESULT result = -1;
  EXPECT_EQ(sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, lent.slave, "xterm",
                                 LEND_RETURN_WHEN_DECLINED, &result),
            LendOutcome::Declined);
  EXPECT_EQ(result, -1) << "not waited for";
  EXPECT_TRUE(own.shows("Lent Screen")) << own.seen;
  EXPECT_FALSE(lent.shows("Lent Screen", 300));
  EXPECT_TRUE(PostMessageW(h, WM_USER + 9, 0, 0)); // taken by the menu's loop, and it ends too
  EXPECT_TRUE(own.shows("quit 0")) << own.seen;
}

TEST(LendingFrame, CarriesTheTerminalTypeAndRefusesTypesThatCouldBePaths)
{
  ChannelRequest r;
  r.kind = ChannelKind::SentLending;
  r.message = WM_USER + 1;
  r.className = u"Quillmarsh Class";
  r.title = u"Quillmarsh";
  r.terminalName = "tmux-256color";
  std::vector<std::uint8_t> bytes = encodeRequest(r);
  ChannelRequest back;
  std::size_t consumed = 0;
  ASSERT_EQ(decodeRequest(bytes.data(), bytes.size(), &back, &consumed), Decoded::Complete);
  EXPECT_EQ(consumed, bytes.size());
  EXPECT_EQ(back.terminalName, "tmux-256color");
  EXPECT_EQ(decodeRequest(bytes.data(), bytes.size() - 1, &back, &consumed), Decoded::Incomplete);
  for (const char *bad : {"../x", ".hidden", "a/b", "x y", ""}) {
    r.terminalName = bad;
    bytes = encodeRequest(r);
    EXPECT_EQ(decodeRequest(bytes.data(), bytes.size(), &back, &consumed), Decoded::Malformed) << bad;
  }
  r.terminalName = std::string(CHANNEL_MAX_TERM_NAME + 1, 'x');
  bytes = encodeRequest(r);
  EXPECT_EQ(decodeRequest(bytes.data(), bytes.size(), &back, &consumed), Decoded::Malformed);
}

TEST_F(Lending, NothingToLendWithoutATerminal)
{
  auto peer = headlessPeer();
  HWND h = FindWindowW(u"QM Peer", u"Lender Test");
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  EXPECT_EQ(sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, pipeFds[0], "xterm", 0, nullptr),
            LendOutcome::Failed)
      << "a descriptor that is not a terminal is refused by the receiver";
  EXPECT_EQ(sendMessageLendingFd(h, SHOW_MENU_SCREEN, 0, 0, pipeFds[0], "../../x", 0, nullptr),
            LendOutcome::Failed)
      << "a terminal type that could name a path is never sent";
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_EQ(SendMessageW(h, WM_USER + 2, 1, 1), 2) << "it still answers";
}

} // namespace
