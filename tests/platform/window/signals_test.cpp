// A termination signal ends the message loop in its normal order: what was
// posted before it is handled first, then the loop ends with exit code 0 and
// the program cleans up after itself.
#include "tests/platform/window/peer.h"

#include "platform/window/channel.h"

#include <filesystem>

namespace {

using Termination = MessageTest;

TEST_F(Termination, SignalPostsTheQuitRequest)
{
  for (int sig : {SIGTERM, SIGINT}) {
    Peer peer({"term", "QM Peer", "Terminated"});
    ASSERT_EQ(peer.readLine(), "ready") << sig;
    std::optional<std::filesystem::path> socket =
        channelSocketPath(u"QM Peer", u"Terminated", false);
    ASSERT_TRUE(socket && std::filesystem::exists(*socket));
    ASSERT_EQ(kill(peer.pid(), sig), 0);
    EXPECT_EQ(peer.readLine(), "message 0x405 0 0 posted") << "posted before the signal";
    EXPECT_EQ(peer.readLine(), "quit 0");
    int status = peer.wait();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by its loop, not by the signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(*socket)) << "its window was destroyed on the way out";
  }
}

} // namespace
