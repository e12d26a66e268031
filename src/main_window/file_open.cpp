// Opening a file: a picture when it loads as one, otherwise the multimedia control plays it.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "controls/picture_box.h"
#include "media/mmcontrol.h"
#include "pictures/picture_loader.h"
#include "pictures/picture_prefetch.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

void FrmMain::FileOpen(const QString& path) {
  // A file the user opens is never passed over when it cannot be played: the mark is the slideshow's.
  if (!slideshowStepping_) restartedAt_.invalidate();
  // Whatever was on its way to the pane is no longer wanted.
  cancelPendingPicture();
  if (Timer->isActive()) {
    MCI->setCommand(QStringLiteral("Close"));
    Timer->stop();
  }
  if (openAsPicture(path) != Opened::NoPicture) return;
  openAsMedia(path);
}

void FrmMain::openAsMedia(const QString& path) {
  VS->setVisible(false);
  HS->setVisible(false);
  MCI->setFileName(path);
  MCI->setDeviceType(QString());
  MCI->setCommand(QStringLiteral("Open"));
  MCI->setCommand(QStringLiteral("Play"));
  Slider->setTickPosition(QSlider::NoTicks);
  Slider->setMaximum(1000);
  Timer->start();
}

FrmMain::Opened FrmMain::openAsPicture(const QString& path) {
  // Decided before anything changes, so that a file that is no picture leaves the pane exactly as it was. A
  // big picture that is not decoded ahead is decoded on the prefetch's worker while the window goes on
  // answering; the pane changes when it is there.
  const QStringList neighbours = steppingNeighbours();
  if (decodedBytesEstimate(path) > waitFreeBytes) {
    const PicturePrefetch::Found found = prefetch->request(path, neighbours);
    if (!found.ready) {
      pendingPicture_ = path;
      busyDelay_->start(busyDelayMs);
      return Opened::Later;
    }
    if (!found.picture) return Opened::NoPicture;
    showPicture(path, *found.picture);
    return Opened::Picture;
  }
  const auto picture = prefetch->take(path, neighbours);
  if (!picture) return Opened::NoPicture;
  showPicture(path, *picture);
  return Opened::Picture;
}

void FrmMain::showPicture(const QString& path, const Picture& picture) {
  Img->Stretch = false;
  Img->setPicture(picture);
  Img->Stretch = true;
  Slider->setTickPosition(QSlider::TicksBelow);
  {
    // A media position above 40 is clamped by the new range; handled as a zoom it would resize Img before
    // Img_Change takes the natural size from it.
    const QSignalBlocker quiet(Slider);
    Slider->setMaximum(40);
  }
  cur_file = path;
  Img_Change();
}

void FrmMain::pictureDecoded(const QString& path) {
  if (pendingPicture_.isEmpty() || path != pendingPicture_) return;
  const PicturePrefetch::Found found = prefetch->request(path, steppingNeighbours());
  if (!found.ready) return;  // the file changed while it was read: decoded again
  const bool shownEarly = earlyShown_;
  cancelPendingPicture();
  if (found.picture && shownEarly) {
    // Its top rows are on screen already, opened as any picture is; the rest arrives without a second
    // opening, so that a zoom or scroll made meanwhile stays.
    Img->setPicture(*found.picture);
  } else if (found.picture) {
    showPicture(path, *found.picture);
  } else {
    openAsMedia(path);  // what a file that is no picture gets
  }
}

void FrmMain::pictureEarly(const QString& path, const Picture& picture) {
  if (pendingPicture_.isEmpty() || path != pendingPicture_ || earlyShown_) return;
  earlyShown_ = true;
  // What the user waits for is there: no busy pointer for the rest.
  busyDelay_->stop();
  if (busyShown_) {
    busyShown_ = false;
    QGuiApplication::restoreOverrideCursor();
  }
  showPicture(path, picture);
}

void FrmMain::cancelPendingPicture() {
  pendingPicture_.clear();
  earlyShown_ = false;
  busyDelay_->stop();
  if (busyShown_) {
    busyShown_ = false;
    QGuiApplication::restoreOverrideCursor();
  }
}

void FrmMain::showBusy() {
  if (pendingPicture_.isEmpty() || busyShown_ || earlyShown_) return;
  busyShown_ = true;
  QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

void FrmMain::Paste() {
  cancelPendingPicture();
  Img->Stretch = false;
  Picture picture;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data && data->hasImage()) {
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (!image.isNull() && qint64(image.width()) * image.height() <= kMaxPixels) picture = Picture(image);
  }
  Img->setPicture(picture);
  Img->Stretch = true;
  Img_Change();
  cur_file.clear();
}

void FrmMain::Img_Change() {
  pic_width = Img->width();
  pic_height = Img->height();
  // All the digits: a width of a million pixels is no "1e+06".
  lb_size->setText(QString::number(pic_width, 'g', 15) + QLatin1Char('x') + QString::number(pic_height));
  layOutPane();
  // Setting the value runs the slider handling; in picture mode it has to run even when the value already is
  // 10, or the percentage would keep whatever the other mode last showed. In media mode an unchanged value
  // is no move of the position.
  if (Slider->value() == 10 && !Timer->isActive())
    Slider_Change();
  else
    Slider->setValue(10);
}

void FrmMain::OpenWith() {
  // Spaces only: a tab or a line break at either end is part of a file name.
  qsizetype first = 0;
  qsizetype last = cur_file.size();
  while (first < last && cur_file.at(first) == QLatin1Char(' ')) ++first;
  while (last > first && cur_file.at(last - 1) == QLatin1Char(' ')) --last;
  cur_file = cur_file.mid(first, last - first);
  if (cur_file.isEmpty()) return;
  // Fixed English texts in both languages. A launch that starts but opens nothing fails as well.
  const QPointer<FrmMain> self(this);
  const auto tell = [self] {
    if (!self) return;
    self->program_.seams.messageBoxes->show(self, QMessageBox::Critical, TextTables::OpenWithFailedTitle,
                                            TextTables::OpenWithFailedPrompt, QMessageBox::Ok,
                                            QMessageBox::Ok);
  };
  if (!program_.seams.launcher->openFile(cur_file, tell)) tell();
}
