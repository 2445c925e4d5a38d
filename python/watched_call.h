#pragma once

// Work that may run long (a sampling plan, a fit of a large table), in a thread of its own with
// the GIL released, while the caller's thread watches Ctrl-C and the time limit every 20 ms.
// Work that reads its stop request ends soon after it is set and gives what it has; work that
// cannot (one linear-algebra kernel) is left to finish on its own, its result dropped, and the
// caller has control back at once. The work owns everything it reads: it may outlive the call.
#include <pybind11/pybind11.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "base/stop_request.h"

namespace kelm::python {

namespace py = pybind11;

// A search the call waits for: `work()` runs in a thread of its own while the caller's thread,
// the GIL released in between, calls `watch()` every 20 ms until the work has ended; `watch`
// returns the Python error to raise once the result is built (None: none yet), and the first one
// is kept. The work's own exception is raised again here.
template <class Work, class Watch>
py::object runWatched(Work work, Watch watch) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
  std::thread thread([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(mutex);
    done = true;
    finished.notify_all();
  });
  py::object pending = py::none();
  for (;;) {
    {
      py::gil_scoped_release release;
      std::unique_lock<std::mutex> lock(mutex);
      if (finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) break;
    }
    if (pending.is_none()) pending = watch();
  }
  thread.join();
  if (failure) std::rethrow_exception(failure);
  return pending;
}

template <class Value>
struct WatchedCallState {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::optional<Value> value;
  std::exception_ptr failure;
  StopRequest stop;
};

// What the caller gets: the value (absent when the work was left behind), why it stopped.
template <class Value>
struct WatchedOutcome {
  std::optional<Value> value;
  StopReason reason = StopReason::None;
};

// `work(const StopRequest&)` returns a Value; `stoppable`: whether it reads the request. Ctrl-C
// raises KeyboardInterrupt (after a stoppable work has ended); a time limit ends the call with
// reason TimeLimit and, for stoppable work, its value.
template <class Value, class Work>
WatchedOutcome<Value> watchedCall(Work work, std::optional<double> timeLimit, bool stoppable) {
  auto state = std::make_shared<WatchedCallState<Value>>();
  std::thread([state, work = std::move(work)]() mutable {
    try {
      state->value.emplace(work(state->stop));
    } catch (...) {
      state->failure = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->finished.notify_all();
  }).detach();
  const auto start = std::chrono::steady_clock::now();
  py::object interrupt = py::none();
  for (;;) {
    {
      py::gil_scoped_release release;
      std::unique_lock<std::mutex> lock(state->mutex);
      if (state->finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return state->done; })) break;
    }
    if (!interrupt.is_none()) continue;  // a stoppable work is ending
    if (PyErr_CheckSignals() != 0) {
      state->stop.request(StopReason::Interrupt);
      interrupt = py::error_already_set().value();
      if (!stoppable) break;
      continue;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (timeLimit && seconds >= *timeLimit) {
      state->stop.request(StopReason::TimeLimit);
      if (!stoppable) return {std::nullopt, StopReason::TimeLimit};
    }
  }
  if (!interrupt.is_none()) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(interrupt.ptr())), interrupt.ptr());
    throw py::error_already_set();
  }
  const std::lock_guard<std::mutex> lock(state->mutex);
  if (state->failure) std::rethrow_exception(state->failure);
  return {std::move(state->value), state->stop.reason()};
}

}  // namespace kelm::python
