// The rule editor and the settings dialog in a real terminal (tmux), driven
// from the keyboard as a person would: a new rule made from a delivered
// message's suggestions sorts that mail at once and is saved as the rules
// module writes it; a backup exported, a rule changed and a sender marked
// known, the backup imported puts both data files back and refills the list
// beneath; an appointment made from a message is shown until it is closed.
#include "tests/program/tmux_session.h"

#include "platform/text/wstr.h"
#include "rules/rule_list.h"
#include "rules/rules_file.h"

#include <cstdio>
#include <future>

namespace {

// The rules file the rules module writes for the rule list as it is.
Bytes rulesModuleBytes()
{
  char *data = nullptr;
  std::size_t size = 0;
  FILE *out = open_memstream(&data, &size);
  saveRules(out, false);
  fclose(out);
  Bytes bytes(data, data + size);
  free(data);
  return bytes;
}

void expectSameBytes(const Bytes &saved, const Bytes &expected)
{
  ASSERT_EQ(saved.size(), expected.size());
  for (std::size_t i = 0; i < saved.size(); ++i)
    ASSERT_EQ(saved[i], expected[i]) << "byte " << i;
}

TEST_F(Program, NewRuleFromTheSuggestionsSortsTheSendersMailAtOnce)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  deliver(store() / "Inbox", "1.ann", message("Ann <ann@example.org>", "Plans", "plans@example.org"));
  deliver(store() / "Inbox", "2.bob", message("bob@example.net", "News", "news@example.net"));
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;

  ASSERT_TRUE(tmux.shows("[Quillmarsh]")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("[x] Download where Read")) << tmux.screen();
  tmux.keys("F1"); // New
  ASSERT_TRUE(tmux.shows("Move to:")) << tmux.screen();
  tmux.keys("Tab Space"); // "From:" ticked
  ASSERT_TRUE(tmux.shows("[x] From:")) << tmux.screen();
  tmux.keys("Tab Enter"); // the sender box's suggestions
  ASSERT_TRUE(tmux.shows(">> Known users <<")) << tmux.screen();
  ASSERT_TRUE(tmux.shows("bob@example.net")) << tmux.screen();
  tmux.keys("Down Enter"); // the first sender after ">> Known users <<": ann, in sorted order
  ASSERT_TRUE(tmux.showsLine("[x] From:", "ann@example.org")) << tmux.screen();
  // To, Subject, Size, Older, Read and Has attach: the boxes between are
  // disabled, so the seventh Tab reaches "Move to:".
  tmux.keys("Tab Tab Tab Tab Tab Tab Tab");
  tmux.type("Projects");
  ASSERT_TRUE(tmux.showsLine("Move to:", "Projects")) << tmux.screen();
  tmux.keys("F1"); // OK
  ASSERT_TRUE(tmux.shows("[x] Move to Projects where From=\"ann@example.org\"")) << tmux.screen();

  // The rule runs at once: Ann's message moves, Bob's stays.
  ASSERT_TRUE(waitFor([&] { return folderOf(store(), "plans@example.org") == "Inbox/Projects"; },
                      std::chrono::seconds(30)))
      << folderOf(store(), "plans@example.org");
  EXPECT_EQ(folderOf(store(), "news@example.net"), "Inbox");

  appendDefaultRules(u"Archive");
  Rule *made = newRule();
  made->enabled = 1;
  wstrCopy(made->from, RULE_TEXT_CHARS, u"ann@example.org");
  wstrCopy(made->moveTo, RULE_TEXT_CHARS, u"Projects");
  appendRule(made);
  const Bytes expected = rulesModuleBytes();
  clearRules();
  const fs::path rulesPath = root / "Application Data/Brindlewick/Brindlewick.dat";
  ASSERT_TRUE(waitFor([&] { return readFile(rulesPath.lexically_relative(root)).size() == expected.size(); },
                      std::chrono::seconds(30)));
  expectSameBytes(readFile("Application Data/Brindlewick/Brindlewick.dat"), expected);
  ASSERT_TRUE(program.stop());
  expectSameBytes(readFile("Application Data/Brindlewick/Brindlewick.dat"), expected);
}

// What the store tool's command client printed, run in the program's
// channel folder.
std::string sendCommand(const TerminalProgram &program, const fs::path &root, const std::string &command,
                        const std::string &message)
{
  const std::string line = "XDG_RUNTIME_DIR='" + (program.inst.dir.path / "run").string() + "' '" + QM_STORE_PATH +
                           "' --root '" + root.string() + "' command " + command + " '" + message + "' 2>&1";
  std::string out;
  FILE *pipe = popen(line.c_str(), "r");
  if (!pipe)
    return out;
  char buffer[256];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST_F(Program, AnAppointmentFromAMessageIsShownAndTheEditSaved)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  deliver(store() / "Inbox", "1.carol", message("Carol Finch <carol@example.org>", "Lunch", "lunch@example.org"));
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;
  ASSERT_TRUE(tmux.shows("[Quillmarsh]")) << tmux.screen();

  std::future<std::string> reply = std::async(std::launch::async, [&] {
    return sendCommand(program, root, "create-appointment", "Local/Inbox/1.carol");
  });
  ASSERT_TRUE(tmux.showsLine("Subject:", "Carol Finch: Lunch")) << tmux.screen();
  EXPECT_TRUE(tmux.showsLine("Start:", ":00"));
  EXPECT_TRUE(tmux.shows("Hello."));
  // The item is saved before it is shown.
  std::vector<fs::path> files;
  for (const auto &e : fs::directory_iterator(root / "PIM/Calendar"))
    files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(readFile(fs::relative(files[0], root)).size(), 0u);
  EXPECT_EQ(reply.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the sender waits for the form";

  tmux.keys("End");
  tmux.type(" at noon");
  ASSERT_TRUE(tmux.showsLine("Subject:", "Lunch at noon")) << tmux.screen();
  tmux.keys("Enter"); // OK
  ASSERT_TRUE(tmux.gone("Subject:")) << tmux.screen();
  ASSERT_EQ(reply.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(reply.get(), "1\n");
  const Bytes saved = readFile(fs::relative(files[0], root));
  const std::string text(saved.begin(), saved.end());
  EXPECT_NE(text.find("SUMMARY:Carol Finch: Lunch at noon\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("DESCRIPTION:Hello.\\n"), std::string::npos) << text;
  ASSERT_TRUE(program.stop());
}

// From the rules list: Menu, About..., then Tab to Export or Import, the
// file dialog's name box (where saving starts, "Varn" selected whole;
// opening starts in the list), the path typed over "Varn", Enter.
void backupThroughTheSettings(const Tmux &tmux, const std::string &button, const std::string &path)
{
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("About...")) << tmux.screen();
  tmux.keys("Up Up Enter"); // from "Hide" up past "Exit" to "About..."
  ASSERT_TRUE(tmux.shows("Show Tray Icon")) << tmux.screen();
  tmux.keys(button == "Export" ? "Tab Tab Enter" : "Tab Tab Tab Enter");
  ASSERT_TRUE(tmux.shows("Backup (*.bak)")) << tmux.screen();
  tmux.keys(button == "Export" ? "BSpace" : "Tab BSpace BSpace BSpace BSpace"); // "Varn" out
  tmux.type(path);
  ASSERT_TRUE(tmux.showsLine("Name:", path)) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.gone("Backup (*.bak)")) << tmux.screen();
  ASSERT_TRUE(tmux.shows("Show Tray Icon")) << tmux.screen();
  tmux.keys("F2"); // Cancel: the settings close, an import stays
  ASSERT_TRUE(tmux.gone("Show Tray Icon")) << tmux.screen();
}

TEST_F(Program, ExportChangeImportPutsTheDataFilesBackAndRefillsTheList)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  const Bytes rules = rulesFile({{u"ann@example.org", u"", u"Friends"}, {u"", u"invoice", u"Bills"}});
  writeFile("Application Data/Brindlewick/Brindlewick.dat", rules);
  const Bytes known = knownUser("carol@example.org", 2);
  writeFile("Application Data/Brindlewick/KnownUsers.dat", known);
  deliver(store() / "Inbox", "1.dan", message("dan@example.net", "Hello", "hello@example.net"));
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;
  const fs::path backup = program.inst.dir.path / "rules-backup"; // Export adds ".bak"

  ASSERT_TRUE(tmux.shows("[Quillmarsh]")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\"")) << tmux.screen();
  backupThroughTheSettings(tmux, "Export", backup.string());
  ASSERT_TRUE(fs::exists(backup.string() + ".bak"));
  EXPECT_EQ(fs::file_size(backup.string() + ".bak"), 1 + rules.size() + 4 + 4 + known.size()) << "flag, rules with a count, known users with a count";

  tmux.keys("Down Down Space"); // the rules have the focus: the first, the second, off
  ASSERT_TRUE(tmux.shows("[ ] Move to Bills")) << tmux.screen();
  EXPECT_EQ(sendCommand(program, root, "mark-known", "Local/Inbox/1.dan"), "1\n"); // a sender made known
  ASSERT_TRUE(waitFor(
      [&] {
        return readFile("Application Data/Brindlewick/Brindlewick.dat") != rules &&
               readFile("Application Data/Brindlewick/KnownUsers.dat") != known;
      },
      std::chrono::seconds(30)))
      << "the changes were never saved";

  backupThroughTheSettings(tmux, "Import", backup.string() + ".bak");
  // The list beneath was refilled by the import: the rule is on again.
  ASSERT_TRUE(tmux.shows("[x] Move to Bills where Subj=\"invoice\"")) << tmux.screen();
  expectSameBytes(readFile("Application Data/Brindlewick/Brindlewick.dat"), rules);
  expectSameBytes(readFile("Application Data/Brindlewick/KnownUsers.dat"), known);
  ASSERT_TRUE(program.stop());
  expectSameBytes(readFile("Application Data/Brindlewick/Brindlewick.dat"), rules);
  expectSameBytes(readFile("Application Data/Brindlewick/KnownUsers.dat"), known);
}

} // namespace

namespace {

// The line of the screen holding the text, or -1.
int lineOf(const Tmux &tmux, const std::string &text)
{
  std::istringstream lines(tmux.screen());
  int row = 0;
  for (std::string line; std::getline(lines, line); ++row)
    if (line.find(text) != std::string::npos)
      return row;
  return -1;
}

TEST_F(Program, ATerminalMadeShorterIsRedrawnAtOnceWithTheBackupButtonsInView)
{
  if (!haveTmux())
    GTEST_SKIP() << "tmux is not installed (scripts/setup.sh installs it)";
  makeStore();
  TerminalProgram program(root, 80, 24);
  ASSERT_TRUE(program.started);
  const Tmux &tmux = program.tmux;
  ASSERT_TRUE(tmux.shows("[Quillmarsh]")) << tmux.screen();
  tmux.keys("Enter");
  ASSERT_TRUE(tmux.shows("[x] Download where Read")) << tmux.screen();
  tmux.keys("F2");
  ASSERT_TRUE(tmux.shows("About...")) << tmux.screen();
  tmux.keys("Up Up Enter");
  ASSERT_TRUE(tmux.shows("[Export]")) << tmux.screen();
  ASSERT_EQ(tmux.run("resize-window -t qm -x 80 -y 12"), 0);
  // No key follows: the resize alone redraws the screen, softkeys on its
  // last line and the backup buttons moved up above them.
  ASSERT_TRUE(waitFor([&] { return lineOf(tmux, " OK ") == 11; }, std::chrono::seconds(30))) << tmux.screen();
  EXPECT_EQ(lineOf(tmux, "[Export]"), 10) << tmux.screen();
  EXPECT_EQ(lineOf(tmux, "[Import]"), 10);
  ASSERT_TRUE(program.stop());
}

} // namespace
