// Messages between threads of one process: sends handled on the window's
// thread, a waiting sender that keeps serving, many posters, time-outs, and
// a thread that ends with messages pending.
#include "tests/platform/window/message_log.h"

#include <atomic>
#include <condition_variable>
#include <thread>

namespace {

constexpr UINT STOP = WM_USER + 99;              // ends a WindowThread's loop
constexpr auto BOUND = std::chrono::seconds(30); // longest wait for another thread

// A thread with a window and a message loop of its own. With `held`, the
// loop starts only after release().
class WindowThread {
public:
  explicit WindowThread(bool held = false) : held_(held)
  {
    thread_ = std::thread([this] {
      HWND h = makeWindow();
      std::unique_lock<std::mutex> lock(m_);
      hwnd_ = h;
      id_ = std::this_thread::get_id();
      cv_.notify_all();
      cv_.wait_for(lock, BOUND, [this] { return !held_; });
      bool quit = ending_;
      lock.unlock();
      MSG msg;
      while (!quit && GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != STOP)
        dispatch(msg);
      // Windows left are released with the thread's queue.
    });
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait_for(lock, BOUND, [this] { return hwnd_ != nullptr; });
  }
  ~WindowThread()
  {
    release(false);
    PostMessageW(hwnd_, STOP, 0, 0);
    thread_.join();
  }
  // Lets the loop start, or with end the thread end without one.
  void release(bool end)
  {
    std::lock_guard<std::mutex> lock(m_);
    if (!held_)
      return;
    held_ = false;
    ending_ = end;
    cv_.notify_all();
  }
  HWND hwnd() const { return hwnd_; }
  std::thread::id id() const { return id_; }

private:
  std::mutex m_;               // guards the fields below
  std::condition_variable cv_; // signals hwnd_ and held_
  bool held_;                  // the loop waits for release()
  bool ending_ = false;        // release(true): end without a loop
  HWND hwnd_ = nullptr;        // the thread's window
  std::thread::id id_;         // the thread
  std::thread thread_;         // the thread itself
};

using CrossThread = MessageTest;

TEST_F(CrossThread, SendIsHandledOnTheWindowsThread)
{
  std::atomic<bool> onOwnThread{false};
  std::thread::id workerId;
  windowBehaviour() = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER + 1) {
      onOwnThread = std::this_thread::get_id() == workerId;
      return static_cast<LRESULT>(w * 2);
    }
    return DefWindowProcW(h, m, w, l);
  };
  WindowThread worker;
  workerId = worker.id();
  MessageLog::get().take();
  EXPECT_EQ(SendMessageW(worker.hwnd(), WM_USER + 1, 21, 0), 42);
  EXPECT_TRUE(onOwnThread);
  okSequence({{WM_USER + 1, sent | inter | wparam, 21}}, "cross-thread send");

  // The window belongs to its thread: no timer or destruction from here.
  EXPECT_EQ(SetTimer(worker.hwnd(), 1, 100, nullptr), 0u);
  EXPECT_FALSE(DestroyWindow(worker.hwnd()));
}

TEST_F(CrossThread, WaitingSenderServesWhatIsSentToIt)
{
  HWND mine = window();
  std::thread::id mainId = std::this_thread::get_id();
  std::atomic<bool> servedHere{false};
  windowBehaviour() = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_USER + 1) // on the worker: asks back while the main thread waits on it
      return SendMessageW(mine, WM_USER + 2, 0, 0) + 1;
    if (m == WM_USER + 2) {
      servedHere = std::this_thread::get_id() == mainId;
      return 10;
    }
    return DefWindowProcW(h, m, w, l);
  };
  WindowThread worker;
  EXPECT_EQ(SendMessageW(worker.hwnd(), WM_USER + 1, 0, 0), 11);
  EXPECT_TRUE(servedHere);
}

TEST_F(CrossThread, PostsFromManyThreadsArriveInOrderPerSender)
{
  HWND mine = window();
  constexpr int THREADS = 4, EACH = 250;
  std::vector<std::thread> posters;
  for (int t = 0; t < THREADS; ++t)
    posters.emplace_back([=] {
      for (int i = 0; i < EACH; ++i)
        PostMessageW(mine, WM_USER + t, static_cast<WPARAM>(i), 0);
    });

  // A thread timer wakes the loop now and then, so the wait has a bound.
  UINT_PTR tick = SetTimer(nullptr, 0, 100, nullptr);
  auto deadline = std::chrono::steady_clock::now() + BOUND;
  std::vector<int> next(THREADS, 0);
  int total = 0;
  bool inOrder = true;
  MSG msg;
  while (total < THREADS * EACH && std::chrono::steady_clock::now() < deadline &&
         GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message < WM_USER || msg.message >= WM_USER + THREADS)
      continue;
    int t = static_cast<int>(msg.message - WM_USER);
    inOrder = inOrder && msg.wParam == static_cast<WPARAM>(next[t]);
    ++next[t];
    ++total;
  }
  KillTimer(nullptr, tick);
  for (auto &p : posters)
    p.join();
  EXPECT_EQ(total, THREADS * EACH);
  EXPECT_TRUE(inOrder);
}

TEST_F(CrossThread, SenderThatGivesUpLeavesTheReceiverItsCopy)
{
  std::mutex m;
  std::condition_variable cv;
  std::string received;
  ULONG_PTR receivedData = 0;
  windowBehaviour() = [&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (msg == WM_COPYDATA) {
      const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(l);
      std::lock_guard<std::mutex> lock(m);
      received.assign(static_cast<const char *>(cds->lpData), cds->cbData);
      receivedData = cds->dwData;
      cv.notify_all();
      return 1;
    }
    return DefWindowProcW(h, msg, w, l);
  };
  WindowThread worker(true);
  {
    char bytes[] = "abcd";
    COPYDATASTRUCT cds{7, 4, bytes};
    DWORD_PTR result = 99;
    EXPECT_EQ(SendMessageTimeoutW(worker.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                  SMTO_NORMAL, 50, &result),
              0)
        << "the worker does not run its loop yet";
    EXPECT_EQ(result, 99u);
    bytes[0] = 'X';
  }
  worker.release(false);
  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, BOUND, [&] { return !received.empty(); }));
  EXPECT_EQ(received, "abcd");
  EXPECT_EQ(receivedData, 7u);
}

TEST_F(CrossThread, ThreadThatEndsAnswersWhatWaitsAndTakesItsWindows)
{
  WindowThread worker(true);
  HWND theirs = worker.hwnd();
  std::atomic<bool> answered{false};
  LRESULT result = -1;
  std::thread sender([&] {
    result = SendMessageW(theirs, WM_USER + 1, 0, 0);
    answered = true;
  });
  worker.release(true);
  sender.join();
  EXPECT_TRUE(answered);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_FALSE(PostMessageW(theirs, WM_USER, 0, 0));
}

} // namespace
