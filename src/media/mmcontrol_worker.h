#pragma once

// MMControl's worker thread, internal to the media room.

#include "media/mmcontrol.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Runs the pipeline calls that may block (state changes, seeks, the drive) one after another on its own
// thread. Its destructor runs everything still queued, so a pipeline handed over for teardown is always
// brought down.
class MMControl::Worker {
 public:
  Worker();
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void post(std::function<void()> task);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the members above exist
};
