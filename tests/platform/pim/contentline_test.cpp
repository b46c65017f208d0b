// The content-line reader and writer that vCard and iCalendar share: messy
// real-world input, and output that other programs can read.
#include "platform/pim/contentline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A compact picture of the components read: "NAME{LINE=value,...}[children]".
std::string describe(const std::vector<Component> &cs)
{
  std::string out;
  for (const Component &c : cs) {
    out += c.name + "{";
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const ContentLine &l = c.lines[i];
      if (i)
        out += ",";
      if (!l.group.empty())
        out += l.group + ".";
      out += l.name;
      for (const ContentParam &p : l.params)
        out += ";" + p.name + "=" + p.value;
      out += "=" + l.value;
    }
    out += "}";
    if (!c.children.empty())
      out += "[" + describe(c.children) + "]";
  }
  return out;
}

// A literal's bytes, embedded nulls included.
template <std::size_t N>
std::string bytes(const char (&literal)[N])
{
  return std::string(literal, N - 1);
}

TEST(ContentLines, ReadsMessyInputLeniently)
{
  struct Case {
    const char *name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"CRLF", "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n", "VCARD{FN=A}"},
      {"LF", "BEGIN:VCARD\nFN:A\nEND:VCARD\n", "VCARD{FN=A}"},
      {"CR", "BEGIN:VCARD\rFN:A\rEND:VCARD", "VCARD{FN=A}"},
      {"folded with blank and tab", "BEGIN:VCARD\r\nNOTE:one\r\n  two\r\n\tthree\r\nEND:VCARD\r\n",
       "VCARD{NOTE=one twothree}"},
      {"lower-case names", "begin:vcard\nemail;type=work:a@b\nend:vcard\n", "VCARD{EMAIL;TYPE=work=a@b}"},
      {"group", "BEGIN:VCARD\nitem1.EMAIL:a@b\nitem1.X-ABLabel:home\nEND:VCARD\n",
       "VCARD{item1.EMAIL=a@b,item1.X-ABLABEL=home}"},
      {"vCard 2.1 bare parameters", "BEGIN:VCARD\nTEL;WORK;FAX:123\nEND:VCARD\n",
       "VCARD{TEL;TYPE=WORK;TYPE=FAX=123}"},
      {"quoted parameter with separators", "BEGIN:VCARD\nTEL;TYPE=\"work,voice\";X=\"a:b;c\":tel:1\nEND:VCARD\n",
       "VCARD{TEL;TYPE=work,voice;X=a:b;c=tel:1}"},
      {"quoted-printable with soft breaks",
       "BEGIN:VCARD\nNOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9 =\nau lait=3D=\n\nEND:VCARD\n",
       "VCARD{NOTE=caf\xC3\xA9 au lait=}"},
      {"bare quoted-printable", "BEGIN:VCARD\nEMAIL;INTERNET;QUOTED-PRINTABLE:a=40b.c=ZZ\nEND:VCARD\n",
       "VCARD{EMAIL;TYPE=INTERNET=a@b.c=ZZ}"},
      {"colon in the value", "BEGIN:VCALENDAR\nURL:http://x/y\nEND:VCALENDAR\n", "VCALENDAR{URL=http://x/y}"},
      {"several cards", "BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n", "VCARD{FN=A}VCARD{FN=B}"},
      {"missing END", "BEGIN:VCARD\nFN:A\n", "VCARD{FN=A}"},
      {"END of an outer component closes inner ones",
       "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:1\nEND:VCALENDAR\nBEGIN:VCARD\nFN:B\nEND:VCARD\n",
       "VCALENDAR{}[VEVENT{UID=1}]VCARD{FN=B}"},
      {"stray END and lines outside components", "FN:outside\nEND:VCARD\nBEGIN:VCARD\nFN:A\nEND:VCARD\n",
       "VCARD{FN=A}"},
      {"lines without a colon or a name", "BEGIN:VCARD\nno colon here\n:no name\n;X=1:v\nFN:A\nEND:VCARD\n",
       "VCARD{FN=A}"},
      {"nested components", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nBEGIN:VALARM\nACTION:DISPLAY\nEND:VALARM\nEND:VEVENT\nEND:VCALENDAR\n",
       "VCALENDAR{}[VEVENT{}[VALARM{ACTION=DISPLAY}]]"},
      {"binary junk", bytes("\x00\xFF\xFE:BEGIN\x01:\nBEGIN:VCARD\nFN:\x80\x00x\nEND:VCARD"),
       bytes("VCARD{FN=\x80\x00x}")},
      {"empty", "", ""},
  };
  for (const Case &c : cases)
    EXPECT_EQ(describe(parseComponents(c.text)), c.expected) << c.name;
}

TEST(ContentLines, SkipsComponentsNestedTooDeeply)
{
  std::string text;
  for (int i = 0; i < MAX_COMPONENT_DEPTH + 5; ++i)
    text += "BEGIN:X" + std::to_string(i) + "\nP:" + std::to_string(i) + "\n";
  for (int i = MAX_COMPONENT_DEPTH + 4; i >= 0; --i)
    text += "END:X" + std::to_string(i) + "\n";
  text += "BEGIN:AFTER\nEND:AFTER\n";
  std::vector<Component> cs = parseComponents(text);
  ASSERT_EQ(cs.size(), 2u);
  int depth = 0;
  for (const Component *c = &cs[0]; c; c = c->children.empty() ? nullptr : &c->children[0]) {
    ++depth;
    EXPECT_EQ(c->lines.size(), 1u);
  }
  EXPECT_EQ(depth, MAX_COMPONENT_DEPTH);
  EXPECT_EQ(cs[1].name, "AFTER");
}

TEST(ContentLines, EveryPrefixReadsWithoutHarm)
{
  const std::string full = "BEGIN:VCARD\r\nVERSION:3.0\r\nitem1.EMAIL;TYPE=\"INTERNET,pref\":a@b.c\r\n"
                           "NOTE;ENCODING=QUOTED-PRINTABLE:x=3D=\r\ny\r\nFN:Long\r\n name\r\nEND:VCARD\r\n";
  for (std::size_t n = 0; n <= full.size(); ++n) {
    std::vector<Component> cs = parseComponents(std::string_view(full).substr(0, n));
    ASSERT_LE(cs.size(), 1u);
    if (!cs.empty()) {
      EXPECT_LE(cs[0].lines.size(), 4u);
    }
  }
  EXPECT_EQ(describe(parseComponents(full)),
            "VCARD{VERSION=3.0,item1.EMAIL;TYPE=INTERNET,pref=a@b.c,NOTE=x=y,FN=Longname}");
}

TEST(ContentLines, TextEscapesRoundTrip)
{
  struct Case {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"plain", "plain"},
      {"a,b;c\\d", "a\\,b\\;c\\\\d"},
      {"one\r\ntwo\nthree\rfour", "one\\ntwo\\nthree\\nfour"},
      {"", ""},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(escapeText(c.text), c.escaped);
    std::string lf = c.text;
    for (std::size_t i; (i = lf.find("\r\n")) != std::string::npos;)
      lf.replace(i, 2, "\n");
    for (char &ch : lf)
      if (ch == '\r')
        ch = '\n';
    EXPECT_EQ(unescapeText(c.escaped), lf);
  }
  EXPECT_EQ(unescapeText("\\N\\:\\x\\"), "\n:\\x\\") << "unknown escapes and a last backslash stay";
  std::vector<std::string> parts = splitValue("Tarnwell\\; Ltd;Mail;", ';');
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], "Tarnwell\\; Ltd");
  EXPECT_EQ(parts[2], "");
}

TEST(ContentLines, WriterFoldsAt75OctetsWithoutSplittingCharacters)
{
  // 3-byte characters around the folding points.
  std::string value;
  for (int i = 0; i < 60; ++i)
    value += "\xE2\x82\xAC"; // the euro sign
  ContentLine line{"", "SUMMARY", {ContentParam{"X-NOTE", "a;b"}}, value + "\x01 end"};
  std::string out;
  appendContentLine(out, line);

  std::vector<std::string> physical;
  std::size_t start = 0;
  for (std::size_t i; (i = out.find("\r\n", start)) != std::string::npos; start = i + 2)
    physical.push_back(out.substr(start, i - start));
  EXPECT_EQ(start, out.size()) << "every line ends with CRLF";
  ASSERT_GT(physical.size(), 2u);
  for (std::size_t i = 0; i < physical.size(); ++i) {
    EXPECT_LE(physical[i].size(), 75u);
    if (i > 0) {
      EXPECT_EQ(physical[i][0], ' ');
    }
    // A line never starts (after its blank) or ends inside a UTF-8 sequence.
    std::size_t first = i > 0 ? 1 : 0;
    EXPECT_NE(static_cast<unsigned char>(physical[i][first]) & 0xC0, 0x80);
  }
  EXPECT_EQ(physical[0].substr(0, 24), "SUMMARY;X-NOTE=\"a;b\":\xE2\x82\xAC");

  std::vector<Component> back = parseComponents("BEGIN:V\r\n" + out + "END:V\r\n");
  ASSERT_EQ(back.size(), 1u);
  ASSERT_EQ(back[0].lines.size(), 1u);
  EXPECT_EQ(back[0].lines[0].value, value + "  end") << "the control character became a blank";
  EXPECT_EQ(*findParam(back[0].lines[0], "X-NOTE"), "a;b");
}

} // namespace
