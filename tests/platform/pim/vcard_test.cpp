// What a contact's vCard gives the contacts server.
#include "platform/pim/vcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ContactRecord onlyCard(const std::string &text)
{
  std::vector<Component> cards = readVCards(text);
  EXPECT_EQ(cards.size(), 1u);
  return cards.empty() ? ContactRecord{} : contactFromVCard(cards[0]);
}

TEST(VCard, EmailAddressesInFileOrder)
{
  struct Case {
    const char *name;
    std::string card;
    std::u16string email[3];
  } cases[] = {
      {"three, with types and a group",
       "BEGIN:VCARD\nVERSION:3.0\nEMAIL;TYPE=work:w@x.org\nitem1.EMAIL;TYPE=INTERNET:h@y.net\nEMAIL;PREF=1:o@z.com\nEND:VCARD\n",
       {u"w@x.org", u"h@y.net", u"o@z.com"}},
      {"none", "BEGIN:VCARD\nVERSION:4.0\nFN:Nobody\nEND:VCARD\n", {u"", u"", u""}},
      {"more than three: the first three", "BEGIN:VCARD\nEMAIL:1@a\nEMAIL:2@a\nEMAIL:3@a\nEMAIL:4@a\nEND:VCARD\n",
       {u"1@a", u"2@a", u"3@a"}},
      {"empty ones hold no address", "BEGIN:VCARD\nEMAIL:\nEMAIL:  \nEMAIL: a@b \nEND:VCARD\n", {u"a@b", u"", u""}},
      {"escaped and folded", "BEGIN:VCARD\nEMAIL:first\\,last@exa\n mple.org\nEND:VCARD\n",
       {u"first,last@example.org", u"", u""}},
      {"vCard 2.1 quoted-printable", "BEGIN:VCARD\nVERSION:2.1\nEMAIL;INTERNET;ENCODING=QUOTED-PRINTABLE:j=C3=B6rg@ex=\n.de\nEND:VCARD\n",
       {u"j\u00F6rg@ex.de", u"", u""}},
      {"legacy 8-bit text", "BEGIN:VCARD\nVERSION:2.1\nEMAIL:j\xF6rg@ex.de\nEND:VCARD\n", {u"j\u00F6rg@ex.de", u"", u""}},
      {"missing END", "BEGIN:VCARD\nEMAIL:a@b\nEMAIL:c@d", {u"a@b", u"c@d", u""}},
  };
  for (const Case &c : cases) {
    ContactRecord r = onlyCard(c.card);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(r.email[i], c.email[i]) << c.name << ", address " << i + 1;
  }
}

TEST(VCard, OtherFields)
{
  ContactRecord r = onlyCard("BEGIN:VCARD\r\nVERSION:4.0\r\nORG:Tarnwell\\; Sons;Mail Room\r\nTITLE:Clerk\r\n"
                             "BDAY:19850412\r\nANNIVERSARY:2010-06-01\r\nRELATED;TYPE=spouse:Kim\r\n"
                             "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-555-0100\r\nTEL;TYPE=work,fax:+1-555-0101\r\n"
                             "TEL;TYPE=cell:+1-555-0102\r\nTEL;TYPE=home:+1-555-0103\r\nTEL;TYPE=pager:+1-555-0104\r\n"
                             "END:VCARD\r\n");
  EXPECT_EQ(r.companyName, u"Tarnwell; Sons");
  EXPECT_EQ(r.department, u"Mail Room");
  EXPECT_EQ(r.jobTitle, u"Clerk");
  EXPECT_EQ(r.spouse, u"Kim");
  EXPECT_EQ(r.businessPhone, u"+1-555-0100");
  EXPECT_EQ(r.businessFax, u"+1-555-0101");
  EXPECT_EQ(r.mobile, u"+1-555-0102");
  EXPECT_EQ(r.homePhone, u"+1-555-0103");
  EXPECT_EQ(r.pager, u"+1-555-0104");
  EXPECT_DOUBLE_EQ(r.birthday, civilToDate({1985, 4, 12, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(r.anniversary, civilToDate({2010, 6, 1, 0, 0, 0}));

  ContactRecord none = onlyCard("BEGIN:VCARD\nBDAY:--0412\nEND:VCARD\n");
  EXPECT_EQ(none.birthday, POOM_NO_DATE) << "a birthday without a year is no date";
  EXPECT_EQ(none.anniversary, POOM_NO_DATE);
}

TEST(VCard, CardsAnywhereInTheFile)
{
  std::vector<Component> cards = readVCards("junk\nBEGIN:VCARD\nFN:A\nAGENT:\nBEGIN:VCARD\nFN:B\nEND:VCARD\nEND:VCARD\n"
                                            "BEGIN:VCALENDAR\nEND:VCALENDAR\nBEGIN:VCARD\nFN:C\nEND:VCARD\n");
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(findLine(cards[0], "FN")->value, "A");
  EXPECT_TRUE(cards[0].children.empty()) << "the nested card is counted on its own";
  EXPECT_EQ(findLine(cards[1], "FN")->value, "B");
  EXPECT_EQ(findLine(cards[2], "FN")->value, "C");
}

} // namespace
