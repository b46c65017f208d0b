// The object model's interfaces keep the published method order: the
// program's calls are listed by slot (IPOutlookApp Logon 7, ...), counted
// from QueryInterface with IDispatch's four methods at 3 to 6.
#include "platform/pim/pimstore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

// The virtual-table index of a virtual member function, from its pointer to
// member in the Itanium C++ ABI (GCC and Clang on Linux): one plus the byte
// offset of its entry.
template <class Method>
std::ptrdiff_t entryOf(Method method)
{
  struct {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  } raw;
  static_assert(sizeof raw == sizeof method);
  std::memcpy(&raw, &method, sizeof raw);
  return static_cast<std::ptrdiff_t>((raw.pointer - 1) / sizeof(void *));
}

// The published slot of a method, counting IUnknown's and IDispatch's
// methods before it, whatever entries the compiler adds between them (the
// virtual destructor's).
template <class Method>
std::ptrdiff_t slotOf(Method method)
{
  return 3 + entryOf(method) - entryOf(&IDispatch::GetTypeInfoCount);
}

TEST(PimStore, MethodsSitInTheirPublishedSlots)
{
  EXPECT_EQ(slotOf(&IPOutlookApp::Logon), 7);
  EXPECT_EQ(slotOf(&IPOutlookApp::Logoff), 8);
  EXPECT_EQ(slotOf(&IPOutlookApp::GetDefaultFolder), 10);
  EXPECT_EQ(slotOf(&IPOutlookApp::CreateItem), 11);
  EXPECT_EQ(slotOf(&IAppointment::put_Subject), 26);
  EXPECT_EQ(slotOf(&IAppointment::put_Body), 35);
  EXPECT_EQ(slotOf(&IAppointment::Save), 40);
  EXPECT_EQ(slotOf(&IAppointment::Display), 45);
  EXPECT_EQ(slotOf(&ITask::put_Subject), 24);
  EXPECT_EQ(slotOf(&ITask::put_Body), 32);
  EXPECT_EQ(slotOf(&ITask::Save), 37);
  EXPECT_EQ(slotOf(&ITask::Display), 41);
  EXPECT_EQ(slotOf(&IFolder::get_Items), 7);
  EXPECT_EQ(slotOf(&IPOutlookItemCollection::get_Count), 8);
  EXPECT_EQ(slotOf(&IPOutlookItemCollection::Item), 11);
  EXPECT_EQ(slotOf(&IContact::get_Email1Address), 12);
  EXPECT_EQ(slotOf(&IContact::get_Email2Address), 19);
  EXPECT_EQ(slotOf(&IContact::get_Email3Address), 21);
}

} // namespace
