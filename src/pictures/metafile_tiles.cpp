#include "pictures/metafile_tiles.h"

#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <vector>

// Where a job posts its tile. Closed (owner null) by the destructor, under the lock, so that no job can post
// to an object being destroyed; what was posted before is dropped with the object's posted events.
struct MetafileTiles::Mailbox {
  QMutex mutex;
  MetafileTiles* owner = nullptr;
};

namespace {

int milli(qreal dpr) { return int(std::lround(dpr * 1000)); }

}  // namespace

MetafileTiles::MetafileTiles(QObject* parent) : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->owner = this;
  // One core stays with the UI thread.
  pool_.setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 4));
}

MetafileTiles::~MetafileTiles() {
  {
    const QMutexLocker lock(&mailbox_->mutex);
    mailbox_->owner = nullptr;
  }
  cancelAll();
  pool_.clear();
  // Each job looks at its flag every few hundred records: this is short.
  pool_.waitForDone();
}

void MetafileTiles::setPicture(const Picture& picture) {
  cancelAll();
  pool_.clear();
  tiles_.clear();
  bytes_ = 0;
  ++generation_;
  current_ = Key{0, 0, 0, 0, 0};
  picture_ = picture.isDrawing() ? picture : Picture();
}

QRect MetafileTiles::tileRect(const Key& key) {
  const auto [width, height, dpr, column, row] = key;
  Q_UNUSED(dpr);
  return QRect(column * kTileSide, row * kTileSide, kTileSide, kTileSide) & QRect(0, 0, width, height);
}

bool MetafileTiles::atCurrentScale(const Key& key) const {
  return std::get<0>(key) == std::get<0>(current_) && std::get<1>(key) == std::get<1>(current_) &&
         std::get<2>(key) == std::get<2>(current_);
}

void MetafileTiles::cancel(std::map<Key, std::shared_ptr<std::atomic<bool>>>::iterator job) {
  job->second->store(true, std::memory_order_relaxed);
  jobs_.erase(job);
}

void MetafileTiles::cancelAll() {
  while (!jobs_.empty()) cancel(jobs_.begin());
}

void MetafileTiles::paint(QPainter& painter, const QSize& target, qreal dpr, const QRect& exposed,
                          const QRect& wanted) {
  const QRect area(QPoint(0, 0), target);
  const QRect drawn = exposed & area;
  if (picture_.isNull() || drawn.isEmpty() || !(dpr > 0)) return;
  const Key scale{target.width(), target.height(), milli(dpr), 0, 0};
  if (scale != current_) {
    current_ = scale;
    // The jobs of another scale are no longer wanted; those not started yet need not start.
    cancelAll();
    pool_.clear();
  }
  ++clock_;

  // The tiles that show, those under the exposed part first, no more than the cache holds: a bound cut
  // leaves out what does not show now.
  const QRect want = (wanted | exposed) & area;
  std::vector<Key> keys;
  for (int row = want.top() / kTileSide; row <= want.bottom() / kTileSide; ++row)
    for (int column = want.left() / kTileSide; column <= want.right() / kTileSide; ++column)
      keys.push_back(Key{target.width(), target.height(), milli(dpr), column, row});
  std::stable_partition(keys.begin(), keys.end(),
                        [&](const Key& key) { return tileRect(key).intersects(drawn); });
  const qint64 side = qint64(std::ceil(kTileSide * dpr));
  keys.resize(std::min(keys.size(), size_t(std::max<qint64>(1, kCacheBytes / (side * side * 4)))));
  for (const Key& key : keys) {
    if (const auto tile = tiles_.find(key); tile != tiles_.end())
      tile->second.used = clock_;
    else if (jobs_.find(key) == jobs_.end())
      start(key, target, dpr);
  }
  // Jobs of tiles that scrolled out of sight are stopped; they start again if those come back.
  std::sort(keys.begin(), keys.end());
  for (auto job = jobs_.begin(); job != jobs_.end();) {
    auto next = std::next(job);
    if (!std::binary_search(keys.begin(), keys.end(), job->first)) cancel(job);
    job = next;
  }

  painter.save();
  painter.setClipRect(drawn, Qt::IntersectClip);
  painter.fillRect(drawn, Qt::white);
  bool complete = true;
  for (int row = drawn.top() / kTileSide; row <= drawn.bottom() / kTileSide && complete; ++row)
    for (int column = drawn.left() / kTileSide; column <= drawn.right() / kTileSide && complete; ++column)
      complete = tiles_.count(Key{target.width(), target.height(), milli(dpr), column, row}) > 0;
  if (!complete) drawEarlierScales(painter, target, drawn);
  for (int row = drawn.top() / kTileSide; row <= drawn.bottom() / kTileSide; ++row)
    for (int column = drawn.left() / kTileSide; column <= drawn.right() / kTileSide; ++column) {
      const Key key{target.width(), target.height(), milli(dpr), column, row};
      if (const auto tile = tiles_.find(key); tile != tiles_.end())
        painter.drawImage(QPointF(tileRect(key).topLeft()), tile->second.image);
    }
  painter.restore();
  evict();
}

// Tiles of other scales, stretched to this one, the most recently shown on top: better than white while
// the new ones are drawn.
void MetafileTiles::drawEarlierScales(QPainter& painter, const QSize& target, const QRect& exposed) const {
  std::vector<std::pair<quint64, const std::pair<const Key, Tile>*>> earlier;
  for (const auto& entry : tiles_)
    if (!atCurrentScale(entry.first)) earlier.emplace_back(entry.second.used, &entry);
  if (earlier.empty()) return;
  std::sort(earlier.begin(), earlier.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  for (const auto& [used, entry] : earlier) {
    const Key& key = entry->first;
    const double sx = double(target.width()) / std::get<0>(key);
    const double sy = double(target.height()) / std::get<1>(key);
    const QRect r = tileRect(key);
    const QRectF to(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy);
    if (to.intersects(QRectF(exposed))) painter.drawImage(to, entry->second.image);
  }
}

void MetafileTiles::start(const Key& key, const QSize& target, qreal dpr) {
  auto stop = std::make_shared<std::atomic<bool>>(false);
  jobs_.emplace(key, stop);
  const QRect rect = tileRect(key);
  // Runs on the pool: touches only its own copies and the mailbox.
  pool_.start(
      [picture = picture_, target, dpr, rect, key, stop, mailbox = mailbox_, generation = generation_] {
        const auto stopped = [&stop] { return stop->load(std::memory_order_relaxed); };
        if (stopped()) return;
        QImage image(int(std::ceil(rect.width() * dpr)), int(std::ceil(rect.height() * dpr)),
                     QImage::Format_RGB32);
        if (image.isNull()) return;
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::white);
        {
          QPainter painter(&image);
          painter.translate(-rect.topLeft());
          picture.paint(painter, QRectF(QPointF(0, 0), QSizeF(target)), QRect(QPoint(0, 0), rect.size()),
                        stopped);
        }
        if (stopped()) return;
        const QMutexLocker lock(&mailbox->mutex);
        if (MetafileTiles* owner = mailbox->owner)
          QMetaObject::invokeMethod(
              owner, [owner, key, generation, image] { owner->arrived(key, generation, image); },
              Qt::QueuedConnection);
      });
}

void MetafileTiles::arrived(const Key& key, quint64 generation, const QImage& image) {
  if (generation != generation_) return;
  const auto job = jobs_.find(key);
  if (job == jobs_.end()) return;  // stopped after it finished: stale
  jobs_.erase(job);
  Tile& tile = tiles_[key];
  bytes_ += image.sizeInBytes() - tile.image.sizeInBytes();
  tile.image = image;
  tile.used = clock_;
  evict();
  emit tileReady(tileRect(key));
}

// Least recently wanted first; never a tile the last paint wanted.
void MetafileTiles::evict() {
  while (bytes_ > kCacheBytes) {
    auto oldest = tiles_.end();
    for (auto tile = tiles_.begin(); tile != tiles_.end(); ++tile)
      if (tile->second.used < clock_ && (oldest == tiles_.end() || tile->second.used < oldest->second.used))
        oldest = tile;
    if (oldest == tiles_.end()) return;
    bytes_ -= oldest->second.image.sizeInBytes();
    tiles_.erase(oldest);
  }
}
