// The host's mail list on the test display: the real dialog, its template
// and softkeys, the Maildir stores of a temporary root, and the test's own
// menu extension registered for both menus.
#include "tests/tools/inboxhost/host_scene.h"
#include "tools/inboxhost/host_resources.h"
#include "tools/inboxhost/mail_list.h"
#include "tools/storetool/tool_session.h"

#include "platform/module/module.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"

#include <functional>
#include <thread>

namespace {

using Step = std::function<void(HWND)>;

class MailList : public HostTest {
protected:
  void SetUp() override
  {
    HostTest::SetUp();
    setDisplay(testDisplay());
    testDisplaySetScreenSize(240, 320);
    registerHostResources(GetModuleHandleW(nullptr));
  }
  void TearDown() override
  {
    EXPECT_EQ(testDisplayUnscripted(), 0) << "the list waited with no step left";
    setDisplay(headlessDisplay());
    HostTest::TearDown();
  }

  static int run(std::vector<Step> steps)
  {
    testDisplayScript(std::move(steps));
    return runMailList(GetModuleHandleW(nullptr));
  }

  static std::vector<std::u16string> lines(HWND dialog)
  {
    HWND view = GetDlgItem(dialog, IDC_MESSAGES);
    std::vector<std::u16string> out;
    int n = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      WCHAR text[512];
      LVITEMW item{};
      item.pszText = text;
      item.cchTextMax = 512;
      SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      out.emplace_back(text);
    }
    return out;
  }

  static bool anyLineHas(HWND dialog, std::u16string_view text)
  {
    for (const std::u16string &line : lines(dialog))
      if (line.find(text) != std::u16string::npos)
        return true;
    return false;
  }

  static std::string screenText()
  {
    std::string all;
    for (const std::string &line : testDisplayScreen())
      all += line + "\n";
    return all;
  }

  // Serves the list's messages (the stores' notifications, its timer) as
  // its loop does, until `done` holds or thirty seconds went by.
  static bool serveUntil(HWND dialog, const std::function<bool()> &done)
  {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG msg;
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return done();
  }

  static MapiEntryBytes entryIdOf(const std::string &name)
  {
    std::optional<MaildirId> id = parseMessageRef("Local/Inbox/" + name);
    return id ? encodeMaildirId(*id) : MapiEntryBytes();
  }
};

TEST_F(MailList, ShowsTheInboxAndFollowsIt)
{
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Lunch on Friday", 30, "S");
  deliver("2.M2.host", "bob@example.net", "News of the week", 5);
  EXPECT_EQ(run({[&](HWND dialog) {
                   std::vector<std::u16string> shown = lines(dialog);
                   ASSERT_EQ(shown.size(), 2u);
                   EXPECT_EQ(shown[0].substr(0, 9), u"*  bob@ex") << "newest first, unread";
                   EXPECT_EQ(shown[1].substr(0, 12), u"   Ann Smith") << "read";
                   std::string screen = screenText();
                   EXPECT_EQ(screen.rfind(" Inbox ", 0), 0u) << "the title\n" << screen;
                   EXPECT_NE(screen.find("From"), std::string::npos) << "the heading\n" << screen;
                   EXPECT_NE(screen.find(" Exit"), std::string::npos) << screen;
                   EXPECT_NE(screen.find("Menu"), std::string::npos) << screen;
                   displayKey(VK_DOWN, false); // Ann's message: the selection stays on it
                 },
                 [&](HWND dialog) {
                   deliver("3.M3.host", "Carol <carol@example.com>", "Arrived now", 0);
                   EXPECT_TRUE(serveUntil(dialog, [&] { return lines(dialog).size() == 3; }));
                   EXPECT_NE(lines(dialog)[0].find(u"Arrived now"), std::u16string::npos);
                   auto line = SendDlgItemMessageW(dialog, IDC_MESSAGES, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                   LVNI_SELECTED);
                   EXPECT_EQ(line, 2) << "still Ann's message, now one line further down";
                   fs::remove(root / "Mail/Local/Inbox/cur/1.M1.host:2,S");
                   EXPECT_TRUE(serveUntil(dialog, [&] { return !anyLineHas(dialog, u"Lunch on Friday"); }));
                   EXPECT_EQ(lines(dialog).size(), 2u);
                   displayKey(VK_ESCAPE, false);
                 }}),
            0);
}

TEST_F(MailList, TheMenusCarryTheSelectedMessageToTheExtension)
{
  registerExtension();
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Lunch on Friday", 30);
  deliver("2.M2.host", "bob@example.net", "News of the week", 5);
  EXPECT_EQ(run({[](HWND) { displayKey(VK_DOWN, false); }, // Ann's message
                 [](HWND) { displayKey(VK_F10, true); },   // Shift-F10: the context menu
                 [](HWND) {
                   EXPECT_NE(screenText().find("Test command"), std::string::npos) << screenText();
                   displayKey(VK_RETURN, false);
                 },
                 [](HWND) { displayKey(VK_F2, false); }, // the "Menu" softkey
                 [](HWND) {
                   std::string screen = screenText();
                   EXPECT_NE(screen.find("Refresh"), std::string::npos) << screen;
                   displayKey(VK_ESCAPE, false);
                 },
                 [](HWND) { displayKey(VK_UP, false); }, // Bob's message
                 [](HWND) { displayKey(VK_F2, false); }, // opened again: filled anew, not twice
                 [](HWND) {
                   std::string screen = screenText();
                   EXPECT_EQ(screen.find("Test command"), screen.rfind("Test command")) << screen;
                   displayKey(VK_RETURN, false); // its first item: the extension's command
                 },
                 [](HWND) { displayKey(VK_RETURN, false); }, // Enter on a message: its context menu
                 [](HWND) { displayKey(VK_ESCAPE, false); },
                 [](HWND) { displayKey(VK_ESCAPE, false); }}),
            0);
  EXPECT_EQ(extensionRecord.verbs, (std::vector<std::u16string>{u"Test command", u"Test command"}));
  ASSERT_EQ(extensionRecord.invoked.size(), 2u);
  EXPECT_EQ(extensionRecord.invoked[0], entryIdOf("1.M1.host")) << "from the context menu";
  EXPECT_EQ(extensionRecord.invoked[1], entryIdOf("2.M2.host")) << "from the softkey menu";
  ASSERT_EQ(extensionRecord.queried.size(), 4u) << "context, softkey twice, context";
  EXPECT_EQ(extensionRecord.queried[1], entryIdOf("1.M1.host"));
  EXPECT_EQ(extensionRecord.queried[2], entryIdOf("2.M2.host"));
  EXPECT_EQ(extensionRecord.queried[3], entryIdOf("2.M2.host"));
}

TEST_F(MailList, ARightClickOnAMessageOpensItsContextMenu)
{
  registerExtension();
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Lunch on Friday", 30);
  deliver("2.M2.host", "bob@example.net", "News of the week", 5);
  // The title, the heading, Bob's message (the newest), Ann's.
  EXPECT_EQ(run({[](HWND) { displayHold(10, 3); },
                 [](HWND) {
                   EXPECT_NE(screenText().find("Test command"), std::string::npos) << screenText();
                   displayKey(VK_RETURN, false); // the extension's command
                 },
                 [](HWND) { displayKey(VK_ESCAPE, false); }}),
            0);
  ASSERT_EQ(extensionRecord.invoked.size(), 1u);
  EXPECT_EQ(extensionRecord.invoked[0], entryIdOf("1.M1.host")) << "the message clicked, not the one chosen before";
}

TEST_F(MailList, WithoutExtensionsTheMenusSaySo)
{
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Lunch on Friday", 30);
  EXPECT_EQ(run({[](HWND) { displayKey(VK_F10, true); },
                 [](HWND) {
                   EXPECT_NE(screenText().find("(no commands)"), std::string::npos) << screenText();
                   displayKey(VK_ESCAPE, false);
                 },
                 [](HWND) { displayKey(VK_F2, false); },
                 [](HWND) {
                   EXPECT_NE(screenText().find("Refresh"), std::string::npos) << screenText();
                   displayKey(VK_RETURN, false); // "Refresh", the only item
                 },
                 [](HWND) { displayKey(VK_F1, false); }}), // "Exit"
            0);
}

} // namespace
