// The dialogs' test bench: the test display, a memory messaging world, a
// stand-in main window, and the controls of the dialog in front read back.
#pragma once

#include "app/program_state.h"
#include "platform/window/controls.h"
#include "platform/window/dialog.h"
#include "platform/window/display.h"
#include "tests/engine/engine_scene.h"

#include <functional>
#include <string>
#include <vector>

using DialogStep = std::function<void(HWND)>;

inline LRESULT sceneMainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class DialogTest : public EngineTest {
protected:
  void SetUp() override
  {
    EngineTest::SetUp();
    setDisplay(testDisplay());
    testDisplaySetScreenSize(240, 320);
    WNDCLASSW wc{};
    wc.lpfnWndProc = sceneMainProc;
    wc.lpszClassName = u"Dialog test main";
    RegisterClassW(&wc);
    mainWindow = CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  }

  void TearDown() override
  {
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    UnregisterClassW(u"Dialog test main", nullptr);
    EXPECT_EQ(testDisplayUnscripted(), 0) << "a dialog waited with no step left";
    setDisplay(headlessDisplay());
    EngineTest::TearDown();
  }

  static std::u16string text(HWND dialog, int id)
  {
    WCHAR buffer[512] = {};
    GetDlgItemTextW(dialog, id, buffer, 512);
    return buffer;
  }

  static bool checked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

  static void click(HWND dialog, int id)
  {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
  }

  static void command(HWND dialog, WORD id)
  {
    SendMessageW(dialog, WM_COMMAND, id, 0);
  }

  static std::vector<std::u16string> entries(HWND dialog, int id)
  {
    std::vector<std::u16string> out;
    auto n = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      WCHAR buffer[256] = {};
      SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
      out.emplace_back(buffer);
    }
    return out;
  }

  static std::string screenText()
  {
    std::string all;
    for (const std::string &line : testDisplayScreen())
      all += line + "\n";
    return all;
  }
};
