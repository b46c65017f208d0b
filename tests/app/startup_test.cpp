// Start-up when the main window cannot be made: the window class is taken
// already in this process, so the program's registration of it fails.
#include "app/program_state.h"
#include "app/startup.h"
#include "platform/window/window.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

LRESULT otherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Every entry below the folder.
std::map<std::string, std::filesystem::file_type> entries(const std::filesystem::path &folder)
{
  std::map<std::string, std::filesystem::file_type> found;
  for (const auto &e : std::filesystem::recursive_directory_iterator(folder))
    found[e.path().string()] = e.status().type();
  return found;
}

class Startup : public TempRootTest {};

TEST_F(Startup, WithoutAMainWindowItSaysSoEndsWith1AndWritesNothing)
{
  WNDCLASSW wc{};
  wc.lpfnWndProc = otherProc;
  wc.lpszClassName = MAIN_WINDOW_CLASS;
  ASSERT_TRUE(RegisterClassW(&wc));
  std::filesystem::create_directories(root / "Mail/Local/Inbox/new");
  auto before = entries(root);

  testing::internal::CaptureStderr();
  int code = brindlewickMain(nullptr);
  std::string said = testing::internal::GetCapturedStderr();

  EXPECT_EQ(code, 1);
  EXPECT_EQ(said, "Brindlewick: cannot create its main window; ending without sorting mail\n");
  EXPECT_EQ(entries(root), before) << "no registry hive, no store, no data file";
  EXPECT_EQ(mainWindow, nullptr);
  UnregisterClassW(MAIN_WINDOW_CLASS, nullptr);
}

} // namespace
