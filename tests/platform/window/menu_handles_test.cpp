// Menu handles: what a handle that names no live menu gives, and a destroyed
// popup inside another menu.
#include "platform/window/menu.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(MenuHandles, OnlyLiveMenusAreMenus)
{
  HMENU menu = CreatePopupMenu();
  ASSERT_TRUE(IsMenu(menu));
  EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 1, u"One"));
  EXPECT_TRUE(DestroyMenu(menu));
  // A destroyed handle is no menu, and nothing can be done with it.
  EXPECT_FALSE(IsMenu(menu));
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_FALSE(AppendMenuW(menu, MF_STRING, 2, u"Two"));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
  // Neither are null, small numbers and misaligned addresses.
  for (std::uintptr_t bogus : {std::uintptr_t{0}, std::uintptr_t{1}, std::uintptr_t{0x10000},
                               reinterpret_cast<std::uintptr_t>(menu) + 1})
    EXPECT_FALSE(IsMenu(reinterpret_cast<HMENU>(bogus))) << bogus;
}

TEST(MenuHandles, DestroyingAMenuDestroysItsPopupsOnce)
{
  HMENU outer = CreatePopupMenu();
  HMENU inner = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(inner, MF_STRING, 5, u"Five"));
  ASSERT_TRUE(InsertMenuW(outer, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(inner), u"Inner"));
  // Taken out, the popup lives on; put back, it goes with its menu.
  ASSERT_TRUE(RemoveMenu(outer, 0, MF_BYPOSITION));
  EXPECT_TRUE(IsMenu(inner));
  ASSERT_TRUE(InsertMenuW(outer, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(inner), u"Inner"));
  EXPECT_TRUE(DestroyMenu(outer));
  EXPECT_FALSE(IsMenu(inner));
  // A new menu may reuse a destroyed one's record; it starts empty.
  HMENU fresh = CreatePopupMenu();
  EXPECT_EQ(GetMenuItemCount(fresh), 0);
  DestroyMenu(fresh);
}
