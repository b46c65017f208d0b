// The .reg text format: what each line form reads as, exact round trips of
// every kind of value, and damaged files that keep what is readable.
#include "platform/registry/reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::u16string_view ROOT = u"HKEY_CURRENT_USER";

std::vector<BYTE> sz(std::u16string_view text)
{
  std::vector<BYTE> out;
  for (char16_t c : text) {
    out.push_back(static_cast<BYTE>(c & 0xFF));
    out.push_back(static_cast<BYTE>(c >> 8));
  }
  out.insert(out.end(), {0, 0});
  return out;
}

const RegValue *value(const Hive &hive, std::u16string_view key, std::u16string_view name)
{
  const RegKey *k = findKey(hive, key);
  if (!k)
    return nullptr;
  for (const auto &v : k->values)
    if (v.name == name)
      return &v;
  return nullptr;
}

struct LineCase {
  const char *line;       // a value line below [HKEY_CURRENT_USER\K]
  DWORD type;             // the type it reads as
  std::vector<BYTE> data; // the bytes it reads as
};

TEST(RegFile, ValueLineForms)
{
  const LineCase cases[] = {
      {R"("v"="TRUE")", 1, sz(u"TRUE")},
      {R"("v"="")", 1, sz(u"")},
      {R"("v"="a \"quoted\" C:\\path")", 1, sz(u"a \"quoted\" C:\\path")},
      {R"("v"="Grüße ×")", 1, sz(u"Grüße ×")},
      {R"("v"=dword:0000002a)", 4, {0x2A, 0, 0, 0}},
      {R"("v"=DWORD:FFFFFFFF)", 4, {0xFF, 0xFF, 0xFF, 0xFF}},
      {R"("v"=hex:01,ab,FF)", 3, {0x01, 0xAB, 0xFF}},
      {R"("v"=hex:)", 3, {}},
      {R"("v"=hex(7):41,00,00,00,00,00)", 7, {0x41, 0, 0, 0, 0, 0}},
      {R"("v"=hex(2):25,00,00,00)", 2, {0x25, 0, 0, 0}},
      {R"("v"=hex(b):01,00,00,00,00,00,00,00)", 11, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"\"v\" = \"spaced\"\r", 1, sz(u"spaced")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.line);
    Hive hive = parseRegFile(std::string("[HKEY_CURRENT_USER\\K]\n") + c.line + "\n", ROOT);
    const RegValue *v = value(hive, u"K", u"v");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->data, c.data);
    EXPECT_FALSE(hive.damaged);
  }
}

TEST(RegFile, HexContinuesOverLines)
{
  Hive hive = parseRegFile("[HKEY_CURRENT_USER\\K]\n\"v\"=hex:01,02,\\\n  03,04\n\"w\"=\"x\"\n", ROOT);
  ASSERT_NE(value(hive, u"K", u"v"), nullptr);
  EXPECT_EQ(value(hive, u"K", u"v")->data, (std::vector<BYTE>{1, 2, 3, 4}));
  EXPECT_NE(value(hive, u"K", u"w"), nullptr);
}

TEST(RegFile, KeysDefaultValuesDeletionsAndParents)
{
  Hive hive = parseRegFile("Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\A\\B\\C]\n@=\"default\"\n\"gone\"=\"1\"\n\"gone\"=-\n"
                           "[hkey_current_user\\X]\n[HKEY_CURRENT_USER\\X\\Y]\n[-HKEY_CURRENT_USER\\X]\n",
                           ROOT);
  EXPECT_FALSE(hive.damaged);
  EXPECT_NE(findKey(hive, u"a"), nullptr); // parents exist without lines of their own
  EXPECT_NE(findKey(hive, u"A\\b"), nullptr);
  ASSERT_NE(value(hive, u"A\\B\\C", u""), nullptr);
  EXPECT_EQ(value(hive, u"A\\B\\C", u"")->data, sz(u"default"));
  EXPECT_EQ(value(hive, u"A\\B\\C", u"gone"), nullptr);
  EXPECT_EQ(findKey(hive, u"X"), nullptr);
  EXPECT_EQ(findKey(hive, u"X\\Y"), nullptr);
}

TEST(RegFile, RoundTripKeepsEveryByte)
{
  Hive hive = emptyHive();
  bool created;
  RegKey &k = ensureKey(hive, u"Software\\Tarnwell\\Brindlewick", &created);
  std::vector<BYTE> big(300);
  for (std::size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<BYTE>(i);
  setValue(k, u"ShowTrayIcon", 1, sz(u"TRUE"));
  setValue(k, u"CP", 4, {42, 0, 0, 0});
  setValue(k, u"", 1, sz(u"default \"q\" \\ back"));
  setValue(k, u"multi\nline \"name\"\\", 1, sz(u"two\r\nlines"));
  setValue(k, u"unterminated", 1, {0x41, 0});
  setValue(k, u"odd", 1, {0x41});
  setValue(k, u"embedded", 1, {0x41, 0, 0, 0, 0x42, 0, 0, 0});
  setValue(k, u"lone", 1, {0x00, 0xD8, 0, 0});
  setValue(k, u"shortdword", 4, {1, 2});
  setValue(k, u"big", 3, big);
  setValue(k, u"empty", 3, {});
  setValue(k, u"none", 0, {});
  setValue(k, u"multi", 7, sz(u"a"));
  ensureKey(hive, u"Software\\Empty Key", &created);
  setValue(ensureKey(hive, u"", &created), u"rootValue", 1, sz(u"r"));

  std::string text = formatRegFile(hive, ROOT);
  Hive back = parseRegFile(text, ROOT);
  EXPECT_FALSE(back.damaged) << text;
  ASSERT_EQ(back.keys.size(), hive.keys.size()) << text;
  for (const auto &[folded, key] : hive.keys) {
    const RegKey *b = findKey(back, key.path);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->path, key.path);
    ASSERT_EQ(b->values.size(), key.values.size());
    for (std::size_t i = 0; i < key.values.size(); ++i) {
      EXPECT_EQ(b->values[i].name, key.values[i].name);
      EXPECT_EQ(b->values[i].type, key.values[i].type);
      EXPECT_EQ(b->values[i].data, key.values[i].data);
    }
  }
  // The familiar forms for the ordinary values.
  EXPECT_NE(text.find("\"ShowTrayIcon\"=\"TRUE\"\n"), std::string::npos);
  EXPECT_NE(text.find("\"CP\"=dword:0000002a\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default \\\"q\\\" \\\\ back\"\n"), std::string::npos);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
}

TEST(RegFile, DamagedLinesAreSkippedAndTheRestKept)
{
  const char *bad[] = {
      "\"v\"=\"unterminated",
      "\"v\"=dword:123456789",
      "\"v\"=dword:xyz",
      "\"v\"=hex:1,2g",
      "\"v\"=hex(zz):01",
      "\"v\" \"x\"",
      "garbage line",
      "[HKEY_LOCAL_MACHINE\\Other]\n\"v\"=\"other root\"",
      "[HKEY_CURRENT_USER\\Bad\x01Name]\n\"v\"=\"control character\"",
      "[HKEY_CURRENT_USER\\Unclosed\n\"v\"=\"x\"",
      "\"v\"=hex:01,\\",
  };
  for (const char *line : bad) {
    SCOPED_TRACE(line);
    std::string file = std::string("[HKEY_CURRENT_USER\\K]\n\"keep\"=\"1\"\n[HKEY_CURRENT_USER\\K2]\n") + line +
                       "\n[HKEY_CURRENT_USER\\K3]\n\"after\"=\"2\"\n";
    if (std::string(line) == "\"v\"=hex:01,\\")
      file = "[HKEY_CURRENT_USER\\K]\n\"keep\"=\"1\"\n" + std::string(line); // cut inside a continuation
    Hive hive = parseRegFile(file, ROOT);
    EXPECT_TRUE(hive.damaged);
    EXPECT_NE(value(hive, u"K", u"keep"), nullptr);
    if (findKey(hive, u"K2")) {
      EXPECT_EQ(value(hive, u"K2", u"v"), nullptr);
    }
  }
}

TEST(RegFile, EveryPrefixOfAFileParsesToWhatWasWhole)
{
  Hive hive = emptyHive();
  bool created;
  RegKey &k = ensureKey(hive, u"Software\\Tarnwell\\Brindlewick", &created);
  setValue(k, u"ShowTrayIcon", 1, sz(u"TRUE"));
  setValue(k, u"CP", 4, {7, 0, 0, 0});
  setValue(k, u"blob", 3, std::vector<BYTE>(64, 0x5A));
  setValue(k, u"list", 7, {0x41, 0, 0, 0, 0, 0});
  std::string text = formatRegFile(hive, ROOT);
  for (std::size_t n = 0; n <= text.size(); ++n) {
    Hive cut = parseRegFile(text.substr(0, n), ROOT);
    // Every value read from a cut file is the value as written, never a part of it.
    for (const auto &[folded, key] : cut.keys)
      for (const auto &v : key.values) {
        const RegValue *whole = value(hive, key.path, v.name);
        ASSERT_NE(whole, nullptr) << n;
        EXPECT_EQ(v.type, whole->type) << n;
        EXPECT_EQ(v.data, whole->data) << "cut after " << n << " bytes";
      }
  }
}

TEST(RegFile, Utf16FileWithByteOrderMark)
{
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"ü\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  Hive hive = parseRegFile(bytes, ROOT);
  ASSERT_NE(value(hive, u"K", u"v"), nullptr);
  EXPECT_EQ(value(hive, u"K", u"v")->data, sz(u"ü"));
}

} // namespace
