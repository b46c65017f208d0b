// The message queue of each thread: made at the thread's first call into the
// window system, retired when the thread ends.
#include "platform/window/window_internal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace {

constexpr std::size_t MAX_POSTED = 10000; // posted messages a queue holds at most

// Retires the queue of a thread that ends: its windows go without messages,
// its sockets close, and whoever still waits on it is answered with 0.
void retireQueue(const std::shared_ptr<ThreadQueue> &q)
{
  releaseThreadWindows(*q);
  channelCloseAll(*q);
  terminationForget(q.get());
  std::deque<std::shared_ptr<SentMessage>> pending;
  {
    std::lock_guard<std::mutex> guard(q->lock);
    q->alive = false;
    pending.swap(q->sent);
    q->posted.clear();
    if (q->wakeFd >= 0)
      close(q->wakeFd);
    q->wakeFd = -1;
  }
  for (auto &sm : pending)
    completeSent(*sm, 0);
}

// Holds the thread's queue; its destructor runs when the thread ends.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue; // null until the thread first needs one
  ~QueueHolder()
  {
    if (queue)
      retireQueue(queue);
  }
};

thread_local QueueHolder holder;

void wakeLocked(ThreadQueue &q)
{
  if (!q.alive || q.wakeFd < 0)
    return;
  std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing else can fail here.
  (void)!write(q.wakeFd, &one, sizeof one);
}

} // namespace

std::shared_ptr<ThreadQueue> currentQueue()
{
  if (!holder.queue) {
    auto q = std::make_shared<ThreadQueue>();
    // Without an eventfd (descriptors exhausted) the thread still works: its
    // waits are then cut short and repeated, see pumpIo.
    q->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    holder.queue = std::move(q);
  }
  return holder.queue;
}

bool postToQueue(ThreadQueue &q, const MSG &msg)
{
  std::lock_guard<std::mutex> guard(q.lock);
  if (!q.alive || q.posted.size() >= MAX_POSTED)
    return false;
  q.posted.push_back(msg);
  wakeLocked(q);
  return true;
}

bool postToQueueNext(ThreadQueue &q, const MSG &msg)
{
  std::lock_guard<std::mutex> guard(q.lock);
  if (!q.alive || q.posted.size() >= MAX_POSTED)
    return false;
  q.posted.push_front(msg);
  wakeLocked(q);
  return true;
}

void wakeQueue(ThreadQueue &q)
{
  std::lock_guard<std::mutex> guard(q.lock);
  wakeLocked(q);
}

void completeSent(SentMessage &sm, LRESULT result)
{
  sm.result = result;
  sm.done.store(true, std::memory_order_release);
  if (sm.sender)
    wakeQueue(*sm.sender);
}
