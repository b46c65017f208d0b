// `explain` against the program's own pass: for each scenario (rules and a
// starting Inbox), explain names a winner and the actions it would run; then
// the processing pass runs on the same stores with the decision log on, and
// its log must name the same rule and the same actions for each message,
// while the stores end up as the actions say. Explaining changes nothing.
#include "tests/tools/rulestool/rulestool_fixture.h"

#include "engine/decision_log.h"
#include "engine/session.h"
#include "platform/maildir/maildir_provider.h"
#include "platform/mapi/mapix.h"
#include "platform/shell/shell.h"
#include "rules/known_users_file.h"
#include "rules/rules_file.h"
#include "tools/rulestool/explain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// One message of a scenario.
struct Mail {
  std::string from;                 // the From header
  std::string subject;              // the Subject, unique within the scenario
  std::vector<std::string> options; // qm-store deliver options
  bool markDownload = false;        // qm-store mark ... download after delivery
  std::size_t winner;               // the rule expected to win, 0 for none
  std::string actions;              // explain's actions, "; "-joined
  std::string endsIn;               // the folder it ends in
};

struct Scenario {
  std::string name;
  std::vector<std::vector<std::string>> rules; // qm-rules add arguments, after the three default rules
  std::vector<Mail> mail;
};

const std::vector<Scenario> SCENARIOS = {
    {"words move it",
     {{"--from", "ann", "--subject", "invoice", "--move-to", "Bills"}},
     {{"Ann <ann@example.org>", "Invoice 42", {}, false, 4, "move Bills", "Local/Inbox/Bills"},
      {"Ann <ann@example.org>", "Lunch", {}, false, 0, "", "Local/Inbox"},
      {"bob@example.net", "invoice for Bob", {}, false, 0, "", "Local/Inbox"}}},
    {"the later rule wins a tie, a higher score wins over a later rule",
     {{"--subject", "report", "--move-to", "A"},
      {"--subject", "report", "--move-to", "B"},
      {"--from", "carol", "--delete"},
      {"--subject", "hello", "--move-to", "H"}},
     {{"x@example.org", "weekly report", {}, false, 5, "move B", "Local/Inbox/B"},
      {"carol@example.org", "hello there", {}, false, 6, "delete", "Local/Deleted Items"}}},
    {"a header-only message is downloaded first",
     {{"--from", "dave", "--download", "--move-to", "D"}},
     {{"dave@example.org", "big one", {"--header-only"}, false, 4, "request download; wait for download",
       "Local/Inbox"},
      {"dave@example.org", "small one", {}, false, 4, "move D", "Local/Inbox/D"}}},
    {"a read header-only message and the first default rule",
     {},
     {{"eve@example.org", "read header", {"--header-only", "--read"}, false, 1,
       "request download; wait for download", "Local/Inbox"},
      {"eve@example.org", "read whole", {"--read"}, false, 1, "", "Local/Inbox"}}},
    {"a mark for download is withdrawn when the winner does not download",
     {{"--subject", "keep", "--mark-read"}},
     {{"fay@example.org", "keep this", {"--header-only"}, true, 4, "withdraw download; mark read", "Local/Inbox"}}},
    {"mailboxes, rules without conditions and disabled rules",
     {{"--mailbox", "Work", "--subject", "x", "--move-to", "W"},
      {"--move-to", "Z"},
      {"--subject", "x", "--move-to", "Off", "--disable"}},
     {{"gil@example.org", "x local", {}, false, 0, "", "Local/Inbox"},
      {"gil@example.org", "x work", {"--to", "Work/Inbox"}, false, 4, "move W", "Work/Inbox/W"}}},
    {"age and size",
     {{"--older-than", "5", "--move-to", "Old"}, {"--at-most", "1", "--subject", "tiny", "--program", "/bin/true",
                                                   "--sound", "/ding.wav"}},
     {{"hal@example.org", "aged", {"--age", "10"}, false, 4, "move Old", "Local/Inbox/Old"},
      {"hal@example.org", "fresh", {"--age", "3"}, false, 0, "", "Local/Inbox"},
      {"hal@example.org", "tiny", {"--age", "3"}, false, 5, "play sound /ding.wav; execute /bin/true",
       "Local/Inbox"}}},
    {"a read message is moved only after the read wait",
     {{"--read", "--move-to", "Done"}},
     {{"ivy@example.org", "seen", {"--read"}, false, 1, "", "Local/Inbox"}}},
};

std::string joined(const std::vector<ActionResult> &actions)
{
  std::string s;
  for (const ActionResult &a : actions)
    s += (s.empty() ? "" : "; ") + a.action + (a.target.empty() ? "" : " " + a.target);
  return s;
}

// The decision log's notes for the same actions (the wait is no action).
std::string asLogged(const std::vector<ActionResult> &actions)
{
  static const std::map<std::string, std::string> phrases = {
      {"play sound", "played"},        {"request download", "requested the download"},
      {"withdraw download", "withdrew the download mark"}, {"mark read", "marked as read"},
      {"move", "moved to"},            {"delete", "deleted"},
      {"delete held", "not deleted while marked for download"}, {"execute", "started"},
  };
  std::string s;
  for (const ActionResult &a : actions) {
    if (a.action == "wait for download")
      continue;
    s += (s.empty() ? "" : "; ") + phrases.at(a.action) + (a.target.empty() ? "" : " " + a.target);
  }
  return s;
}

// Every file below the root with its bytes, for "nothing changed".
std::map<std::string, std::string> snapshot(const fs::path &root)
{
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file())
      continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[fs::relative(entry.path(), root).string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

class ExplainTest : public RulesToolTest {
protected:
  // Runs the program's pass once over every store, as start-up does, with
  // the decision log on; returns what it logged.
  std::string runProgramPass()
  {
    MapiProvider *provider = createMaildirProvider(MaildirOptions{false, false});
    MAPISetProvider(provider);
    if (!loadRulesFile())
      ADD_FAILURE() << "the tool wrote no rules file";
    loadKnownUsersFile();
    decisionLogOn = true;
    testing::internal::CaptureStderr();
    openSession();
    closeSession();
    std::string log = testing::internal::GetCapturedStderr();
    decisionLogOn = false;
    MAPISetProvider(nullptr);
    destroyMaildirProvider(provider);
    return log;
  }

  // The folder (STORE/FOLDER) that holds the message with this subject.
  std::string folderOf(const std::string &subject)
  {
    for (const auto &entry : fs::recursive_directory_iterator(dataRootNow() / "Mail")) {
      if (!entry.is_regular_file() || entry.path().parent_path().filename() == "tmp")
        continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (text.find("Subject: " + subject + "\r\n") == std::string::npos)
        continue;
      fs::path folder = fs::relative(entry.path().parent_path().parent_path(), dataRootNow() / "Mail");
      return folder.string();
    }
    return "(nowhere)";
  }

  static fs::path dataRootNow() { return std::getenv("QUILLMARSH_ROOT"); }
};

TEST_F(ExplainTest, AgreesWithTheProgramsPassOverTheScenarios)
{
  shellRecordForTest();
  for (std::size_t n = 0; n < SCENARIOS.size(); ++n) {
    const Scenario &sc = SCENARIOS[n];
    SCOPED_TRACE(sc.name);
    fs::path scenarioRoot = root / ("scenario" + std::to_string(n));
    fs::create_directories(scenarioRoot);
    setenv("QUILLMARSH_ROOT", scenarioRoot.c_str(), 1);
    ASSERT_EQ(store({"mkstore", "Local"}).status, 0);
    for (const std::vector<std::string> &args : sc.rules) {
      std::vector<std::string> add{"add"};
      add.insert(add.end(), args.begin(), args.end());
      ToolRun run = rules(add);
      ASSERT_EQ(run.status, 0) << run.err;
    }
    if (sc.rules.empty()) {
      ASSERT_EQ(rules({"enable", "1"}).status, 0); // a rules file holding the defaults
    }
    for (const Mail &m : sc.mail) {
      std::vector<std::string> deliver{"deliver"};
      deliver.insert(deliver.end(), m.options.begin(), m.options.end());
      ToolRun run = store(deliver, "From: " + m.from + "\r\nTo: you@example.org\r\nSubject: " + m.subject +
                                       "\r\n\r\nText\r\n");
      ASSERT_EQ(run.status, 0) << run.err;
      if (m.markDownload) {
        ASSERT_EQ(store({"mark", run.out.substr(0, run.out.find('\n')), "download"}).status, 0);
      }
    }

    auto before = snapshot(scenarioRoot);
    std::vector<MessageResult> explained;
    std::string error;
    ASSERT_TRUE(explainMessages({}, [&](const MessageResult &m) { explained.push_back(m); }, &error)) << error;
    EXPECT_EQ(snapshot(scenarioRoot), before); // explaining changes nothing

    std::string log = runProgramPass();
    ASSERT_EQ(explained.size(), sc.mail.size());
    for (const Mail &m : sc.mail) {
      SCOPED_TRACE(m.subject);
      const MessageResult *e = nullptr;
      for (const MessageResult &r : explained)
        if (r.subject == m.subject)
          e = &r;
      ASSERT_TRUE(e);
      EXPECT_EQ(e->winner, m.winner);
      EXPECT_EQ(joined(e->actions), m.actions);
      // The pass logs an evaluation only when its winner did something.
      std::size_t at = log.find("\"" + m.subject + "\": rule ");
      std::string logged = asLogged(e->actions);
      if (logged.empty()) {
        EXPECT_EQ(at, std::string::npos) << log;
      } else {
        ASSERT_NE(at, std::string::npos) << log;
        std::string line = log.substr(at, log.find('\n', at) - at);
        EXPECT_EQ(line.substr(0, line.find(' ', line.find("rule ") + 5)),
                  "\"" + m.subject + "\": rule " + std::to_string(m.winner));
        EXPECT_EQ(line.substr(line.rfind("): ") + 3), logged);
      }
      EXPECT_EQ(folderOf(m.subject), m.endsIn);
    }
  }
  shellUseReal();
}

TEST_F(ExplainTest, NamedMessagesTextAndJson)
{
  ASSERT_EQ(rules({"add", "--from", "ann", "--move-to", "Bills"}).status, 0);
  ToolRun delivered = store({"deliver"}, "From: Ann <ann@example.org>\r\nSubject: Hi \"there\"\r\n\r\nx\r\n");
  std::string ref = delivered.out.substr(0, delivered.out.find('\n'));
  ToolRun archived = store({"deliver", "--to", "Local/Archive"}, "From: z@example.org\r\nSubject: old\r\n\r\nx\r\n");

  ToolRun text = rules({"explain", ref});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find(ref + "\n  from ann@example.org (Ann), \"Hi \"there\"\", "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  rule 1 [x] Download where Read => 0; FAILED read (the message has not been read)\n"),
            std::string::npos);
  EXPECT_NE(text.out.find("  rule 3 [ ] Move to Archive where Older than 1 min and Read => not scored: disabled\n"),
            std::string::npos);
  EXPECT_NE(text.out.find("  rule 4 [x] Move to Bills where From=\"ann\" => 5; held from (all of \"ann\" in "
                          "ann@example.org or in \"Ann\")\n"),
            std::string::npos);
  EXPECT_NE(text.out.find("  winner: rule 4 (score 5)\n  now: move to Bills\n"), std::string::npos) << text.out;

  ToolRun json = rules({"explain", "--json", ref});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"subject\":\"Hi \\\"there\\\"\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\"rule\":1,\"enabled\":true,\"description\":\"Download where Read\",\"score\":0,"
                          "\"held\":[],\"failed\":\"read\",\"failedDetail\":\"the message has not been read\"}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"winner\":4,\"score\":5,\"actions\":[{\"action\":\"move\",\"target\":\"Bills\"}]"),
            std::string::npos);

  // A message outside the Inbox is explained with a note; bad names are refused.
  ToolRun outside = rules({"explain", archived.out.substr(0, archived.out.find('\n'))});
  EXPECT_NE(outside.out.find("note: not in the store's Inbox"), std::string::npos) << outside.out << outside.err;
  ToolRun bad = rules({"explain", "nowhere"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("names no message"), std::string::npos);
  bad = rules({"explain", "Other/Inbox/123.x"});
  EXPECT_NE(bad.err.find("there is no store Other"), std::string::npos);
  bad = rules({"explain", "Local/Inbox/123.missing"});
  EXPECT_NE(bad.err.find("no such message"), std::string::npos);
}

} // namespace

namespace {

TEST_F(ExplainTest, ADataRootWithoutStoresGetsNone)
{
  ToolRun run = rules({"explain"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "No message in any Inbox.\n");
  EXPECT_FALSE(fs::exists(root / "Mail")) << "explaining made a store";
  run = rules({"explain", "Local/Inbox/1.x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("there are no message stores"), std::string::npos) << run.err;
}

} // namespace
