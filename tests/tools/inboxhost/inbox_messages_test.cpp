// The Inbox messages as the host reads and shows them, and the host's
// listing without a terminal.
#include "tests/tools/inboxhost/host_scene.h"
#include "tools/inboxhost/inbox_messages.h"
#include "tools/inboxhost/inboxhost.h"

#include <sstream>

namespace {

using InboxMessages = HostTest;

std::vector<InboxMessage> readAll(std::vector<std::string> *problems = nullptr)
{
  LPMAPISESSION session = nullptr;
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  std::vector<InboxMessage> messages = readInboxMessages(session, problems);
  session->Logoff(0, 0, 0);
  session->Release();
  return messages;
}

TEST_F(InboxMessages, EveryStoreNewestFirstWithTheirMarks)
{
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Oldest", 30, "S");
  deliver("2.M2.host", "bob@example.net", "Newest", 1);
  deliver("3.M3.host", "Carol <carol@example.com>", "Middle", 10);
  for (const char *sub : {"cur", "new", "tmp"})
    fs::create_directories(root / "Mail/Work/Inbox" / sub);
  {
    std::ofstream out(root / "Mail/Work/Inbox/new/4.M4.host", std::ios::binary);
    out << "From: Dave <dave@example.com>\r\nSubject: At work\r\n\r\nHi\r\n";
  }
  fs::last_write_time(root / "Mail/Work/Inbox/new/4.M4.host", fs::file_time_type::clock::now() - std::chrono::minutes(5));

  std::vector<std::string> problems;
  std::vector<InboxMessage> messages = readAll(&problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_EQ(messages.size(), 4u);
  std::vector<std::u16string> subjects;
  for (const InboxMessage &m : messages)
    subjects.push_back(m.subject);
  EXPECT_EQ(subjects, (std::vector<std::u16string>{u"Newest", u"At work", u"Middle", u"Oldest"}));
  EXPECT_EQ(messages[0].sender, u"bob@example.net") << "the address where there is no name";
  EXPECT_EQ(messages[2].sender, u"Carol");
  EXPECT_FALSE(messages[0].read);
  EXPECT_TRUE(messages[3].read);
  EXPECT_EQ(messages[1].store, u"Work");
  EXPECT_EQ(storeCount(messages), 2u);
  EXPECT_NE(messages[0].folder, messages[1].folder) << "each message names its own store's Inbox";
}

TEST_F(InboxMessages, LinesFitTheirWidth)
{
  InboxMessage m;
  m.store = u"Local";
  m.sender = u"Ann Smith";
  m.subject = u"Lunch\ton Friday";
  m.read = false;
  m.headerOnly = true;
  for (int columns : {0, 10, 17, 40, 79, 200}) {
    EXPECT_EQ(messageLine(m, columns, false).size(), static_cast<std::size_t>(std::max(columns, 17)))
        << columns << " columns";
    EXPECT_EQ(headingLine(columns).size(), messageLine(m, columns, false).size());
  }
  std::u16string line = messageLine(m, 79, false);
  EXPECT_EQ(line.substr(0, 13), u"*H Ann Smith ");
  EXPECT_NE(line.find(u"Lunch?on Friday"), std::u16string::npos) << "a control character is shown as ?";
  EXPECT_EQ(line.substr(line.size() - 12), std::u16string(12, u' ')) << "no date: blanks";
  EXPECT_EQ(messageLine(m, 79, true).substr(0, 19), u"*H [Local] Ann Smit");
  m.read = true;
  m.headerOnly = false;
  m.sender = std::u16string(100, u'x');
  line = messageLine(m, 79, false);
  EXPECT_EQ(line.size(), 79u) << "a long sender is cut";
  EXPECT_EQ(line.substr(0, 3), u"   ");
  EXPECT_NE(headingLine(79).find(u"Subject"), std::u16string::npos);
}

TEST_F(InboxMessages, WithoutATerminalTheHostListsThemWithTheirNames)
{
  deliver("1.M1.host", "Ann Smith <ann@example.org>", "Lunch on Friday", 3);
  setDisplay(headlessDisplay());
  std::ostringstream out, err;
  EXPECT_EQ(runInboxHost({}, out, err), 0);
  EXPECT_NE(err.str().find("no terminal"), std::string::npos) << err.str();
  std::string text = out.str();
  EXPECT_EQ(text.rfind("*  Ann Smith", 0), 0u) << text;
  EXPECT_NE(text.find("Lunch on Friday"), std::string::npos) << text;
  EXPECT_NE(text.find("  Local/Inbox/1.M1.host\n"), std::string::npos) << "the name `menu` takes\n" << text;

  fs::remove(root / "Mail/Local/Inbox/new/1.M1.host");
  std::ostringstream none, noneErr;
  EXPECT_EQ(runInboxHost({}, none, noneErr), 0);
  EXPECT_EQ(none.str(), "(no messages in the Inboxes)\n");
}

} // namespace
