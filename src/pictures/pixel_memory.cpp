#include "pictures/pixel_memory.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {

constexpr qsizetype kHugePage = 2 * 1024 * 1024;

// One block kept between pictures. Taken and given back from any thread: the decoding thread takes, and
// whichever thread drops the last copy of a picture gives back.
struct Spare {
  std::mutex mutex;
  void* memory = nullptr;
  qsizetype bytes = 0;
  quint64 generation = 0;  // raised whenever the block changes, so that a late release spares a new one

  ~Spare() { std::free(memory); }
};

Spare& spare() {
  static Spare instance;
  return instance;
}

// A block of at least `bytes`, a whole number of huge pages: the kept one when it is no more than a quarter
// larger (a bigger one would hold memory the picture does not use), otherwise a new one.
void* takeBlock(qsizetype bytes, qsizetype& blockBytes) {
  Spare& kept = spare();
  {
    std::lock_guard lock(kept.mutex);
    if (kept.memory && kept.bytes >= bytes && kept.bytes - bytes <= bytes / 4) {
      ++kept.generation;
      blockBytes = kept.bytes;
      return std::exchange(kept.memory, nullptr);
    }
  }
  blockBytes = bytes;
  void* memory = std::aligned_alloc(kHugePage, size_t(bytes));
#ifdef Q_OS_LINUX
  if (memory) madvise(memory, size_t(bytes), MADV_HUGEPAGE);
#endif
  return memory;
}

// Frees the kept block; given a generation, only if the block kept is still that one.
void freeKept(std::optional<quint64> generation) {
  Spare& kept = spare();
  void* memory = nullptr;
  {
    std::lock_guard lock(kept.mutex);
    if (generation && kept.generation != *generation) return;  // taken or replaced since
    memory = std::exchange(kept.memory, nullptr);
    kept.bytes = 0;
    ++kept.generation;
  }
  std::free(memory);
}

void scheduleRelease(quint64 generation) {
  QCoreApplication* application = QCoreApplication::instance();
  if (!application) return;
  // A timer needs the application's thread; the block may come back on any.
  QMetaObject::invokeMethod(
      application,
      [application, generation] {
        QTimer::singleShot(kSparePixelMs, application, [generation] { freeKept(generation); });
      },
      Qt::QueuedConnection);
}

void giveBlock(void* memory, qsizetype bytes) {
  // Without an application nothing could let it go later, and nothing steps through pictures.
  if (bytes > kSparePixelBytes || !QCoreApplication::instance()) {
    std::free(memory);
    return;
  }
  Spare& kept = spare();
  void* old = nullptr;
  quint64 generation = 0;
  {
    std::lock_guard lock(kept.mutex);
    old = std::exchange(kept.memory, memory);
    kept.bytes = bytes;
    generation = ++kept.generation;
  }
  std::free(old);
  scheduleRelease(generation);
}

struct Block {
  void* memory;
  qsizetype bytes;
};

}  // namespace

QImage largeImage(QSize size, QImage::Format format) {
#ifdef Q_OS_LINUX
  if (format != QImage::Format_RGB32 || size.isEmpty()) return QImage();
  const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
  const qsizetype bytes = bytesPerLine * size.height();
  if (bytes < 8 * kHugePage) return QImage();
  qsizetype blockBytes = 0;
  void* memory = takeBlock((bytes + kHugePage - 1) / kHugePage * kHugePage, blockBytes);
  if (!memory) return QImage();
  auto* block = new (std::nothrow) Block{memory, blockBytes};
  if (!block) {
    giveBlock(memory, blockBytes);
    return QImage();
  }
  QImage image(
      static_cast<uchar*>(memory), size.width(), size.height(), bytesPerLine, format,
      [](void* data) {
        auto* given = static_cast<Block*>(data);
        giveBlock(given->memory, given->bytes);
        delete given;
      },
      block);
  if (image.isNull()) {  // Qt took nothing, not even the cleanup
    giveBlock(memory, blockBytes);
    delete block;
  }
  return image;
#else
  Q_UNUSED(size);
  Q_UNUSED(format);
  return QImage();
#endif
}

qsizetype sparePixelBytes() {
  Spare& kept = spare();
  std::lock_guard lock(kept.mutex);
  return kept.memory ? kept.bytes : 0;
}

void releaseSparePixels() { freeKept(std::nullopt); }
