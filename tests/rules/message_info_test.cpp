#include "rules/message_info.h"

#include <gtest/gtest.h>

#include <string>

TEST(MessageInfo, OwnsACopyOfItsEntryId)
{
  BYTE id[] = {9, 8, 7, 6};
  MessageInfo *m = newMessageInfo(4, id);
  ASSERT_NE(m, nullptr);
  id[0] = 0;
  EXPECT_TRUE(hasEntryId(m, 4, (const BYTE[]){9, 8, 7, 6}));
  EXPECT_FALSE(hasEntryId(m, 4, id));
  EXPECT_FALSE(hasEntryId(m, 3, (const BYTE[]){9, 8, 7}));
  EXPECT_EQ(m->senderName[0], 0);
  EXPECT_EQ(m->size, 0);
  EXPECT_EQ(m->lastSoundTick, 0u);
  freeMessageInfo(m);
  freeMessageInfo(nullptr);

  MessageInfo *empty = newMessageInfo(0, nullptr);
  EXPECT_TRUE(hasEntryId(empty, 0, nullptr));
  freeMessageInfo(empty);
}

TEST(MessageInfo, TextsAreCutTo127Units)
{
  MessageInfo m{};
  std::u16string address(130, u'a');
  setMessageText(m.senderAddress, address.c_str());
  EXPECT_EQ(std::u16string(m.senderAddress), std::u16string(127, u'a'));

  // A surrogate pair across the cut goes whole.
  std::u16string pairs = std::u16string(126, u'b') + u"\U0001D11E" + u"c";
  setMessageText(m.senderName, pairs.c_str());
  EXPECT_EQ(std::u16string(m.senderName), std::u16string(126, u'b'));

  setMessageText(m.toLine, nullptr);
  EXPECT_EQ(m.toLine[0], 0);
}
