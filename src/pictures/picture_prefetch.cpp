// Decoding a window's neighbours ahead: the cache of at most three pictures, the one worker thread and the
// hand-over of its pictures to the UI thread. The worker is a one-thread QThreadPool whose jobs post back by
// a queued call, not QtConcurrent::run with a QFutureWatcher: take() waits for a decode in flight with a
// bound, which QFuture::waitForFinished (Qt 6.4) cannot. With 24-megapixel photographs the budget holds the
// one neighbour the steps go towards: the program then takes about 1.8 times what one decoded picture and the
// idle program take.
#include "pictures/picture_prefetch.h"

#include "pictures/picture_loader.h"
#include "platform/file_names.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

// Bounds of the wait for a decode in flight, in ms.
constexpr int kMaxWaitMs = 5000;

double megabytes(const PictureKey& key) { return std::max<qint64>(key.size, 0) / (1024.0 * 1024.0); }

qint64 bytesOf(const Picture& picture) {
  // A metafile's document is small beside a raster; its drawn tiles are bounded where they are kept.
  return picture.isDrawing() ? 0 : picture.toImage().sizeInBytes();
}

}  // namespace

PictureKey PictureKey::of(const QString& path) {
  PictureKey key;
  key.path = path;
  if (const auto status = filenames::stat(path)) {
    key.size = status->size;
    key.modified = status->modifiedMs;
    key.device = status->device;
    key.inode = status->inode;
    key.changedNs = status->changedNs;
  }
  return key;
}

// One decode, shared by the UI thread and the worker. The worker writes `picture` and `done` under the
// mutex; `wanted` is cleared by the UI thread when nobody will look at the result any more.
struct PicturePrefetch::Job {
  PictureKey key;
  std::atomic<bool> wanted{true};
  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
  bool decoded = false;  // false: skipped as no longer wanted, or the file changed while it was read
  std::optional<Picture> picture;
  qint64 ms = 0;
  qint64 estimate = 0;               // bytes the decoded picture will take, from the file's headers
  Urgency urgency = Urgency::Ahead;  // Waited: someone waits for it
};

PicturePrefetch::PicturePrefetch(QObject* parent) : QObject(parent) { pool_.setMaxThreadCount(1); }

PicturePrefetch::~PicturePrefetch() {
  // The worker posts to this object when it ends: it must end first. At most one decode is left to run.
  if (running_) running_->wanted = false;
  pool_.clear();
  pool_.waitForDone();
}

void PicturePrefetch::select(const PictureKey& key, const QStringList& neighbours) {
  wanted_ = {key};
  for (const QString& path : neighbours) wanted_ << PictureKey::of(path);
  if (requested_ != key) requested_ = PictureKey();
  prune();
  // A decode in flight for something else finishes unseen; one wanted again is seen after all.
  if (running_) running_->wanted = isWanted(running_->key);
}

PicturePrefetch::Found PicturePrefetch::request(const QString& current, const QStringList& neighbours) {
  const PictureKey key = PictureKey::of(current);
  select(key, neighbours);
  Found found;
  if (const Entry* entry = find(key); entry && (enabled_ || requested_ == key)) {
    found.ready = true;
    found.picture = entry->picture;
    if (found.picture) shown_ = key;
    requested_ = PictureKey();
    prune();
    pump();
    return found;
  }
  // Off: what is held is not reused, as take() decodes anew.
  cache_.removeIf([&key](const Entry& entry) { return entry.key == key; });
  requested_ = key;
  if (!running_ || running_->key != key) makeRoom();
  pump();
  return found;
}

std::optional<Picture> PicturePrefetch::take(const QString& current, const QStringList& neighbours) {
  const PictureKey key = PictureKey::of(current);
  requested_ = PictureKey();
  select(key, neighbours);

  std::optional<Picture> picture;
  bool got = false;
  if (const Entry* entry = enabled_ ? find(key) : nullptr) {
    picture = entry->picture;
    got = true;
  } else if (running_ && running_->key == key) {
    picture = waitFor(running_, got);
  }
  if (!got) {
    if (running_ && running_->key == key) ++twice_;
    makeRoom();
    notePeak(1);
    QElapsedTimer timer;
    timer.start();
    picture = loadPicture(current, Urgency::Waited);
    ++decodes_;
    ++decodedHere_;
    noteDecode(key, timer.elapsed());
  }
  // The picture on screen changes only when the new one loads.
  if (picture) shown_ = key;
  keep(key, std::move(picture));
  prune();
  pump();
  const Entry* entry = find(key);
  return entry ? entry->picture : std::nullopt;
}

std::optional<Picture> PicturePrefetch::waitFor(std::shared_ptr<Job> job, bool& got) {
  // The decode in flight has at most a whole decode left, which is what decoding here would cost, and a
  // second decode of the same file beside it would only slow both: waiting for it is never the slower choice.
  // Only a worker that is starved for seconds (which the bound catches) makes the step decode it here.
  const double bound = std::max(double(kMaxWaitMs), msPerMb_ * megabytes(job->key) * 4);
  std::unique_lock lock(job->mutex);
  if (!job->doneChanged.wait_for(lock, std::chrono::duration<double, std::milli>(bound),
                                 [&job] { return job->done; })) {
    // Left to finish unseen; it stays counted until it does.
    job->wanted = false;
    got = false;
    return std::nullopt;
  }
  // Taken here: the queued hand-over that follows finds the job no longer running and does nothing.
  running_.reset();
  got = job->decoded;
  if (got) noteDecode(job->key, job->ms);
  return std::exchange(job->picture, std::nullopt);
}

void PicturePrefetch::clear() {
  if (running_) running_->wanted = false;
  cache_.clear();
  wanted_.clear();
  shown_ = PictureKey();
  requested_ = PictureKey();
}

void PicturePrefetch::adopt(PicturePrefetch& from) {
  clear();
  if (const Entry* entry = from.find(from.shown_); entry && entry->picture) {
    cache_ << *entry;
    shown_ = entry->key;
    wanted_ = {entry->key};
  }
  from.clear();
}

void PicturePrefetch::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled_) {
    pump();
    return;
  }
  if (running_) running_->wanted = false;
  prune();
}

int PicturePrefetch::held() const {
  const auto pictures =
      std::count_if(cache_.cbegin(), cache_.cend(), [](const Entry& e) { return e.picture; });
  return int(pictures) + (running_ ? 1 : 0);
}

bool PicturePrefetch::busy() const { return running_ != nullptr; }

qint64 PicturePrefetch::heldBytes() const {
  qint64 bytes = running_ ? running_->estimate : 0;
  for (const Entry& entry : cache_)
    if (entry.picture) bytes += bytesOf(*entry.picture);
  return bytes;
}

void PicturePrefetch::pump() {
  if (running_) return;
  const bool awaited = !wanted_.isEmpty() && requested_ == wanted_.front() && !find(requested_);
  if (!awaited && (!enabled_ || held() >= kMaxHeld)) return;
  // A requested current file first, whatever it takes; then the neighbours in order of nearness, none that
  // would not fit the budget beside what is held. A current file that is not requested is decoded by take().
  qint64 estimate = 0;
  auto next = wanted_.cend();
  if (awaited) {
    next = wanted_.cbegin();
    estimate = decodedBytesEstimate(requested_.path);
  } else {
    // The nearest neighbour missing that fits beside the picture on screen and the nearer ones; the farther
    // ones held then give up their place as it needs it.
    const qint64 budget = aheadBudget();
    qint64 nearer = 0;
    if (const Entry* shown = find(shown_); shown && shown->picture && !isWanted(shown_))
      nearer += bytesOf(*shown->picture);
    for (auto it = wanted_.cbegin(); it != wanted_.cend(); ++it) {
      if (const Entry* entry = find(*it)) {
        if (entry->picture) nearer += bytesOf(*entry->picture);
      } else if (it != wanted_.cbegin()) {
        estimate = decodedBytesEstimate(it->path);
        if (estimate > 0 && nearer + estimate <= budget) {
          next = it;
          break;
        }
      }
    }
    // (With none found, `next` is the end and no one gives up a place.)
    for (qsizetype i = wanted_.size() - 1; i > next - wanted_.cbegin() && heldBytes() + estimate > budget;
         --i) {
      const PictureKey& key = wanted_[i];
      if (key != shown_) cache_.removeIf([&key](const Entry& entry) { return entry.key == key; });
    }
  }
  if (next == wanted_.cend()) return;
  auto job = std::make_shared<Job>();
  job->key = *next;
  job->estimate = estimate;
  job->urgency = awaited ? Urgency::Waited : Urgency::Ahead;
  running_ = job;
  notePeak();
  // Worker thread: touches only the job, and hands it back by a queued call.
  // The top rows of a requested picture go to the UI thread as soon as they are there.
  EarlyRows early;
  if (job->urgency == Urgency::Waited && earlyRows_ > 0) {
    early.rows = earlyRows_;
    early.show = [this, job](const Picture& picture) {
      QMetaObject::invokeMethod(
          this, [this, job, picture] { earlyArrived(job, picture); }, Qt::QueuedConnection);
    };
  }
  pool_.start([this, job, early = std::move(early)] {
    if (job->wanted) {
      QElapsedTimer timer;
      timer.start();
      std::optional<Picture> picture =
          loadPicture(job->key.path, job->urgency, early.show ? &early : nullptr);
      ++decodes_;
      const qint64 ms = timer.elapsed();
      const bool decoded = PictureKey::of(job->key.path) == job->key;
      std::lock_guard lock(job->mutex);
      job->picture = decoded ? std::move(picture) : std::nullopt;
      job->decoded = decoded;
      job->ms = ms;
    }
    {
      std::lock_guard lock(job->mutex);
      job->done = true;
    }
    job->doneChanged.notify_all();
    QMetaObject::invokeMethod(
        this, [this, job] { finished(job); }, Qt::QueuedConnection);
  });
}

void PicturePrefetch::finished(std::shared_ptr<Job> job) {
  if (job != running_) return;
  running_.reset();
  std::optional<Picture> picture;
  bool decoded = false;
  {
    std::lock_guard lock(job->mutex);
    picture = std::exchange(job->picture, std::nullopt);
    decoded = job->decoded;
  }
  // A file that changed while it was read is decoded again when it is taken (or requested again).
  const bool kept = enabled_ || job->key == requested_;
  if (job->wanted && decoded && kept && isWanted(job->key) && !find(job->key)) {
    noteDecode(job->key, job->ms);
    keep(job->key, std::move(picture));
    picture.reset();
    emit ready(job->key.path);
  }
  pump();
}

void PicturePrefetch::earlyArrived(const std::shared_ptr<Job>& job, const Picture& picture) {
  if (job == running_ && job->wanted && job->key == requested_) emit early(job->key.path, picture);
}

void PicturePrefetch::keep(const PictureKey& key, std::optional<Picture> picture) {
  cache_.removeIf([&key](const Entry& entry) { return entry.key.path == key.path; });
  cache_.append(Entry{key, std::move(picture)});
  notePeak();
}

void PicturePrefetch::prune() {
  // The picture on screen stays until another one replaces it: it is held either way.
  cache_.removeIf([this](const Entry& entry) {
    return entry.key != shown_ && entry.key != requested_ && (!enabled_ || !isWanted(entry.key));
  });
}

void PicturePrefetch::makeRoom() {
  // A picture about to be decoded here needs a place: the farthest neighbours give theirs up.
  for (qsizetype i = wanted_.size() - 1; i >= 1 && held() + 1 > kMaxHeld; --i) {
    const PictureKey& key = wanted_[i];
    if (key != shown_) cache_.removeIf([&key](const Entry& entry) { return entry.key == key; });
  }
}

qint64 PicturePrefetch::aheadBudget() const {
  qint64 current = 0;
  if (!wanted_.isEmpty()) {
    const Entry* entry = find(wanted_.front());
    current =
        entry ? (entry->picture ? bytesOf(*entry->picture) : 0) : decodedBytesEstimate(wanted_.front().path);
  }
  return std::min(budgetBytes_, std::max(kFreeAheadBytes, 2 * current));
}

void PicturePrefetch::notePeak(int extra) {
  peakHeld_ = std::max(peakHeld_, held() + extra);
  peakHeldBytes_ = std::max(peakHeldBytes_, heldBytes());
}

const PicturePrefetch::Entry* PicturePrefetch::find(const PictureKey& key) const {
  for (const Entry& entry : cache_)
    if (entry.key == key) return &entry;
  return nullptr;
}

bool PicturePrefetch::isWanted(const PictureKey& key) const { return wanted_.contains(key); }

void PicturePrefetch::noteDecode(const PictureKey& key, qint64 ms) {
  const double mb = megabytes(key);
  // Small files say little about the rate of large ones.
  if (mb >= 0.25) msPerMb_ = double(ms) / mb;
}
