#pragma once

#include "pictures/picture.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>

// A file as it is on disk: a picture decoded from it is good only while all of these stay the same. Size and
// modification time alone miss a file replaced by a rename (cp -p, rsync -t, unzip keep both); the inode and
// the change time of the entry tell it.
struct PictureKey {
  QString path;
  qint64 size = -1;
  qint64 modified = -1;  // ms since the epoch
  qint64 device = -1;
  qint64 inode = -1;
  qint64 changedNs = -1;  // ns since the epoch

  static PictureKey of(const QString& path);
  bool operator==(const PictureKey&) const = default;
};

// Decodes the neighbours of a window's selection ahead on one worker thread, so that stepping to them shows a
// picture already decoded. Holds at most kMaxHeld decoded pictures, counting the one in the making: the
// current one and its two neighbours. Each of FrmMain and FrmFull owns one and uses it from the UI thread
// only; the worker touches no widget and hands its picture back by a queued call.
class PicturePrefetch : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxHeld = 3;
  // The memory the held pictures may take together, the one on screen included. A neighbour whose decoded
  // size would go over it is not decoded ahead (it is decoded when it is stepped to, as without read-ahead).
  static constexpr qint64 kDefaultBudgetBytes = 1024LL * 1024 * 1024;
  // Within that, read-ahead holds no more than the picture on screen again (one neighbour of its size, the
  // one the user steps towards), so that memory stays near one picture's; pictures this small together are
  // all read ahead whatever the one on screen takes.
  static constexpr qint64 kFreeAheadBytes = 256LL * 1024 * 1024;

  explicit PicturePrefetch(QObject* parent = nullptr);
  ~PicturePrefetch() override;

  // Selects `current` with its neighbours (the nearest first) and returns the picture at `current` as the
  // file is now: decoded ahead, or from the decode in flight when that is the one wanted (a bounded wait),
  // or decoded here. nullopt when the file does not load; the caller then keeps showing the previous
  // picture, which stays counted as held until another one replaces it. Everything not wanted is dropped,
  // a decode in flight for something else is left to finish unseen, and the missing neighbours are then
  // decoded one at a time.
  std::optional<Picture> take(const QString& current, const QStringList& neighbours);

  // What request() found for the file asked for.
  struct Found {
    bool ready = false;              // false: being decoded, ready(current) follows
    std::optional<Picture> picture;  // when ready: nullopt when the file does not load
  };
  // As take(), but never decodes on this thread nor waits: a picture that is not decoded yet goes to the
  // worker ahead of every neighbour, and ready(current) follows, after which request() finds it. Another
  // request() or take() supersedes it; a decode already running for another file is left to finish first
  // (it cannot be stopped half way), so at most one stale decode stands before the one wanted.
  Found request(const QString& current, const QStringList& neighbours);

  // Drops every picture and every wish (leaving full screen).
  void clear();

  // Takes over the picture `from` shows, keyed by the file as it was when it was decoded, so that this one
  // shows the same file without decoding it again (nor holding it twice): a take() or request() of it finds
  // it while the file stays the same. `from` is cleared.
  void adopt(PicturePrefetch& from);

  // Off: nothing is decoded ahead and take() always decodes (the benchmark compares both).
  void setEnabled(bool enabled);
  bool enabled() const { return enabled_; }

  void setBudgetBytes(qint64 bytes) { budgetBytes_ = bytes; }
  // How many top rows of a requested picture the window shows at first: a big JPEG is then handed over by
  // early() as soon as they are decoded, before ready(). 0: never early.
  void setEarlyRows(int rows) { earlyRows_ = rows; }
  // Memory of the pictures held now, a decode in flight counted at its estimate, and the most ever.
  qint64 heldBytes() const;
  qint64 peakHeldBytes() const { return peakHeldBytes_; }

  // Decoded pictures held now, counting a decode in flight, and the most ever held at once.
  int held() const;
  int peakHeld() const { return peakHeld_; }
  // How often a file was decoded here while the worker was still decoding the same file (never, but for a
  // worker starved for seconds).
  int decodedTwice() const { return twice_; }
  // Decodes run on the worker and here since this object was made, and those run here (by take()).
  int decodes() const { return decodes_.load(); }
  int decodedHere() const { return decodedHere_; }
  // True while a decode runs or a wanted neighbour waits for its turn.
  bool busy() const;

 signals:
  // A neighbour, or the file a request() waits for, was decoded (or found not to load) and is ready.
  void ready(const QString& path);
  // The requested file's top rows are decoded: `picture` draws them, and the rest as it comes (ready()
  // follows, with a picture sharing the same pixels).
  void early(const QString& path, const Picture& picture);

 private:
  struct Job;
  struct Entry {
    PictureKey key;
    std::optional<Picture> picture;  // nullopt: the file does not load
  };

  void select(const PictureKey& key, const QStringList& neighbours);
  void pump();
  void finished(std::shared_ptr<Job> job);
  void earlyArrived(const std::shared_ptr<Job>& job, const Picture& picture);
  std::optional<Picture> waitFor(std::shared_ptr<Job> job, bool& got);
  void keep(const PictureKey& key, std::optional<Picture> picture);
  void prune();
  void makeRoom();
  void notePeak(int extra = 0);
  qint64 aheadBudget() const;
  const Entry* find(const PictureKey& key) const;
  bool isWanted(const PictureKey& key) const;
  void noteDecode(const PictureKey& key, qint64 ms);

  QThreadPool pool_;  // one thread: decodes run one at a time, which bounds the pictures held
  QList<Entry> cache_;
  QList<PictureKey> wanted_;  // the current file first, then the neighbours by nearness
  PictureKey shown_;          // the picture last returned that loaded: the caller shows it
  PictureKey requested_;      // the current file of a request() that found it not decoded yet
  std::shared_ptr<Job> running_;
  bool enabled_ = true;
  int peakHeld_ = 0;
  int twice_ = 0;
  std::atomic<int> decodes_{0};
  int decodedHere_ = 0;
  qint64 budgetBytes_ = kDefaultBudgetBytes;
  int earlyRows_ = 0;
  qint64 peakHeldBytes_ = 0;
  double msPerMb_ = 40;  // how fast files decode, from the last decode; sizes the wait for one in flight
};
