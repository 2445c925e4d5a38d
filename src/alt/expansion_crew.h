#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace kelm {

// The threads of a search that expand one batch of open designs together: the thread that
// forms the batches hands each one out, every thread (that one too) takes the batch's designs
// one at a time in the order of their places, and the batch is over when every design is done.
// What a design's expansion gives depends only on the design and the batch, never on the thread
// that took it, so a search of batches does the same steps with any number of threads.
//
// A thread left without a design of the batch (the first thread waiting for the batch's last
// design, a helper between batches) may do other work meanwhile, one piece at a time: the idle
// work, when the search sets one.
class ExpansionCrew {
 public:
  // `threads` threads, this one included (1: every design on the calling thread).
  // `dealt` (for tests, whose batches of a few designs are done before a sleeping helper
  // wakes): every thread joins each batch and takes the places of its turn, thread t the places
  // t, t + threads, t + 2 threads and so on.
  explicit ExpansionCrew(int threads, bool dealt = false) : threads_(threads), dealt_(dealt) {}

  // Runs `expandOne(thread, place)` for every place below `designs`, on every thread of the
  // crew; returns when all are done. Called by thread 0 only. `expandOne` must not throw.
  void expandBatch(std::size_t designs, const std::function<void(int, std::size_t)>& expandOne);
  // A helper thread (1 to threads - 1): expands the batches it is handed until the crew is
  // dismissed, and does idle work between them.
  void serve(int thread);
  // No batch follows: the helpers return from serve(). Called by thread 0, also on failure.
  void dismiss();

  // The idle work: `work(thread)` does one piece and returns true, or false when there is none
  // (null: no idle work). Must not throw. Returns once no thread is inside the work set before,
  // so that what that work reads may go away.
  void setIdleWork(const std::function<bool(int)>* work);
  // New idle work is there: the threads that found none look again.
  void wake();

 private:
  void takeDesigns(int thread);
  // One piece of idle work on `thread`, the lock released meanwhile; whether there was one.
  bool doIdleWork(int thread, std::unique_lock<std::mutex>& lock);

  const int threads_;
  const bool dealt_;
  std::mutex mutex_;
  std::condition_variable handedOut_;
  std::condition_variable helperLeft_;
  std::condition_variable helperJoined_;
  std::condition_variable idleLeft_;
  long long batch_ = 0;  // batches handed out so far
  // Whether helpers may still join the batch in progress: a helper that wakes after the first
  // thread has taken every design waits for the next batch, so no thread waits for one asleep.
  bool open_ = false;
  int helpersAtWork_ = 0;
  int helpersJoined_ = 0;  // helpers that joined the batch in progress
  bool dismissed_ = false;
  std::size_t designs_ = 0;
  const std::function<void(int, std::size_t)>* expandOne_ = nullptr;
  std::atomic<std::size_t> next_{0};
  const std::function<bool(int)>* idleWork_ = nullptr;
  int threadsIdleWorking_ = 0;
  long long wakes_ = 0;  // calls of wake() so far
};

}  // namespace kelm
