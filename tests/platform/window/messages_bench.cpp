// What a message costs: a direct call to a window of the same thread (the
// baseline), a posted message taken and dispatched, and a send to a window
// of another thread, which crosses two wake-ups.
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

LRESULT benchProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
  if (message == WM_USER)
    return static_cast<LRESULT>(wParam) + 1;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND benchWindow()
{
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = benchProc;
    wc.lpszClassName = u"QM Bench Window";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered; // a second registration in this process fails harmlessly
  return CreateWindowExW(0, u"QM Bench Window", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                         nullptr);
}

void BM_SendSameThread(benchmark::State &state)
{
  HWND w = benchWindow();
  WPARAM i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(SendMessageW(w, WM_USER, i++, 0));
  DestroyWindow(w);
}
BENCHMARK(BM_SendSameThread);

void BM_PostTakeDispatch(benchmark::State &state)
{
  HWND w = benchWindow();
  MSG msg;
  for (auto _ : state) {
    PostMessageW(w, WM_USER, 1, 0);
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    benchmark::DoNotOptimize(DispatchMessageW(&msg));
  }
  DestroyWindow(w);
}
BENCHMARK(BM_PostTakeDispatch);

void BM_SendOtherThread(benchmark::State &state)
{
  std::atomic<HWND> w{nullptr};
  std::thread worker([&] {
    HWND mine = benchWindow();
    w = mine;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
      DispatchMessageW(&msg);
    DestroyWindow(mine);
  });
  while (!w.load())
    std::this_thread::yield();
  WPARAM i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(SendMessageW(w.load(), WM_USER, i++, 0));
  // WM_QUIT posted to the window's thread ends its loop.
  PostMessageW(w.load(), WM_QUIT, 0, 0);
  worker.join();
}
BENCHMARK(BM_SendOtherThread)->UseRealTime();

} // namespace
