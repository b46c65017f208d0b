// The rule block byte for byte: every expected file is built by hand from
// the record table (offsets, little-endian integers, UTF-16LE texts).
#include "rules/rules_file.h"
#include "tests/rules/fixtures.h"
#include "tests/rules/rule_bytes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

Bytes record()
{
  return Bytes(2064, 0);
}

Bytes savedBlock(bool withCount)
{
  return bytesWrittenBy([&](FILE *f) { saveRules(f, withCount); });
}

using RulesGolden = RulesTest;

TEST_F(RulesGolden, DefaultRules)
{
  appendDefaultRules(u"Archive");

  Bytes expected = headerBytes();
  Bytes readRule = record();
  putU8(readRule, 0, 1);    // enabled
  putU8(readRule, 1292, 1); // isRead
  putU8(readRule, 2062, 1); // download
  append(expected, readRule);
  Bytes knownRule = record();
  putU8(knownRule, 0, 1);
  putText(knownRule, 258, u">> Known users <<"); // from
  putU8(knownRule, 2062, 1);
  append(expected, knownRule);
  Bytes archiveRule = record();
  putI32(archiveRule, 1288, 1); // olderThan
  putU8(archiveRule, 1292, 1);
  putText(archiveRule, 1294, u"Archive"); // moveTo
  append(expected, archiveRule);

  EXPECT_EQ(savedBlock(false), expected);
  EXPECT_EQ(rulesDirty, 0) << "default rules are not a change to save";
}

TEST_F(RulesGolden, EveryFieldAtItsOffsetAndFullTextsRoundTrip)
{
  Rule *rule = newRule();
  const std::u16string texts[] = {longText(127, u'A'), longText(127, u'a'), longText(127, u'B'),
                                  longText(127, u'b'), longText(127, u'C'), longText(127, u'c'),
                                  longText(127, u'D'), longText(127, u'd')};
  WCHAR *fields[] = {rule->mailbox, rule->from,   rule->to,        rule->subject,
                     rule->body,    rule->moveTo, rule->playSound, rule->execute};
  const std::size_t offsets[] = {2, 258, 514, 770, 1026, 1294, 1550, 1806};
  for (std::size_t i = 0; i < 8; ++i)
    std::memcpy(fields[i], texts[i].c_str(), 128 * sizeof(WCHAR));
  rule->enabled = 1;
  rule->sizeLimit = -51200;
  rule->olderThan = 0x01020304;
  rule->isRead = 1;
  rule->hasAttach = 1;
  rule->download = 1;
  rule->markAsRead = 1;
  appendRule(rule);

  Bytes rec = record();
  putU8(rec, 0, 1);
  for (std::size_t i = 0; i < 8; ++i)
    putText(rec, offsets[i], texts[i]);
  putI32(rec, 1284, -51200); // 00 38 FF FF
  EXPECT_EQ(rec[1284], 0x00);
  EXPECT_EQ(rec[1286], 0xFF);
  putI32(rec, 1288, 0x01020304);
  putU8(rec, 1292, 1);
  putU8(rec, 1293, 1);
  putU8(rec, 2062, 1);
  putU8(rec, 2063, 1);
  Bytes expected = headerBytes();
  append(expected, rec);
  Bytes saved = savedBlock(false);
  ASSERT_EQ(saved, expected);

  FILE *f = fileOver(saved);
  loadRules(f, false);
  std::fclose(f);
  ASSERT_NE(ruleList, nullptr);
  for (std::size_t i = 0; i < 8; ++i) {
    const WCHAR *field = reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(ruleList) +
                                                         offsets[i]);
    EXPECT_EQ(std::u16string(field), texts[i]) << "text at offset " << offsets[i];
    EXPECT_EQ(field[127], 0);
  }
  EXPECT_EQ(ruleList->sizeLimit, -51200);
  EXPECT_EQ(ruleList->olderThan, 0x01020304);
  EXPECT_EQ(savedBlock(false), expected);
}

TEST_F(RulesGolden, UnitsAfterTerminatorsAndReservedBytesAreKept)
{
  // A record as an earlier, longer value left it: the units behind the
  // terminator and the reserved bytes go back to the file unchanged.
  Bytes rec = record();
  putU8(rec, 0, 1);
  putU8(rec, 1, 0x5A);
  putText(rec, 770, u"old longer subject");
  putText(rec, 770, u"new");
  putU8(rec, 1282, 0x11);
  putU8(rec, 1283, 0x22);
  Bytes file = headerBytes();
  append(file, rec);

  FILE *f = fileOver(file);
  loadRules(f, false);
  std::fclose(f);
  EXPECT_EQ(std::u16string(ruleList->subject), u"new");
  EXPECT_EQ(savedBlock(false), file);
}

TEST_F(RulesGolden, LegacyFileLoadsAndIsRewrittenInTheCurrentForm)
{
  Bytes legacy(1564, 0);
  putU8(legacy, 0, 1);
  putU8(legacy, 1, 0x77); // ignored
  putText(legacy, 2, u"Work");
  putText(legacy, 258, u"boss");
  putText(legacy, 514, u"me");
  putText(legacy, 770, u"report");
  putText(legacy, 1026, u"");
  putU8(legacy, 1282, 0x33); // ignored
  putI32(legacy, 1284, -2048);
  putI32(legacy, 1288, 30);
  putU8(legacy, 1292, 1);
  putU8(legacy, 1293, 1);
  putI32(legacy, 1296, 1);
  putText(legacy, 1300, u"Reports");
  putU8(legacy, 1556, 1);
  for (std::size_t i = 1557; i < 1564; ++i)
    putU8(legacy, i, 0xEE); // ignored
  Bytes second(1564, 0);
  putI32(second, 1296, 2);
  putText(second, 1300, u"ignored for a delete");
  Bytes file = legacy;
  append(file, second);
  writeFile("Application Data/Brindlewick/Brindlewick.dat", file);

  ASSERT_TRUE(loadRulesFile());
  EXPECT_EQ(countRules(), 2u);
  EXPECT_EQ(rulesDirty, 0) << "loading alone is no change";
  rulesDirty = 1;
  ASSERT_TRUE(saveRulesFile(false));

  Bytes expected = headerBytes();
  Bytes rec = record();
  putU8(rec, 0, 1);
  putText(rec, 2, u"Work");
  putText(rec, 258, u"boss");
  putText(rec, 514, u"me");
  putText(rec, 770, u"report");
  putI32(rec, 1284, -2048);
  putI32(rec, 1288, 30);
  putU8(rec, 1292, 1);
  putU8(rec, 1293, 1);
  putText(rec, 1294, u"Reports");
  putU8(rec, 2062, 1);
  append(expected, rec);
  Bytes rec2 = record();
  putText(rec2, 1294, u">> DELETE <<");
  append(expected, rec2);
  EXPECT_EQ(readFile("Application Data/Brindlewick/Brindlewick.dat"), expected);
}

TEST_F(RulesGolden, BlockWithCountFollowedByOtherData)
{
  Rule *a = newRule();
  a->enabled = 1;
  std::memcpy(a->subject, u"alpha", sizeof(u"alpha"));
  appendRule(a);
  Rule *b = newRule();
  std::memcpy(b->moveTo, u">> DELETE <<", sizeof(u">> DELETE <<"));
  appendRule(b);

  const Bytes trailer = {0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 'a', 'b', 'c', 0x02, 0, 0, 0};
  Bytes block = bytesWrittenBy([&](FILE *f) {
    saveRules(f, true);
    std::fwrite(trailer.data(), 1, trailer.size(), f);
  });

  Bytes expected = headerBytes();
  append(expected, {0x02, 0x00, 0x00, 0x00});
  Bytes recA = record();
  putU8(recA, 0, 1);
  putText(recA, 770, u"alpha");
  append(expected, recA);
  Bytes recB = record();
  putText(recB, 1294, u">> DELETE <<");
  append(expected, recB);
  append(expected, trailer);
  ASSERT_EQ(block, expected);

  FILE *f = fileOver(block);
  loadRules(f, true);
  EXPECT_EQ(std::ftell(f), 14 + 4 + 2 * 2064) << "left just behind the two records";
  Bytes rest(trailer.size());
  EXPECT_EQ(std::fread(rest.data(), 1, rest.size() + 1, f), trailer.size());
  EXPECT_EQ(rest, trailer);
  std::fclose(f);
  ASSERT_EQ(countRules(), 2u);
  EXPECT_EQ(std::u16string(ruleList->subject), u"alpha");
  EXPECT_EQ(std::u16string(ruleList->next->moveTo), u">> DELETE <<");
}

} // namespace
