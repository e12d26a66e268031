// MMControl's worker: one thread that runs the pipeline calls that may block, in the order they were
// posted.

#include "media/mmcontrol_worker.h"

#include <functional>
#include <mutex>
#include <utility>

MMControl::Worker::Worker() : thread_([this] { run(); }) {}

MMControl::Worker::~Worker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void MMControl::Worker::post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void MMControl::Worker::run() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}
