// Opening a file: a picture when it loads as one, otherwise the multimedia control plays it.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "controls/picture_box.h"
#include "media/mmcontrol.h"
#include "pictures/picture_loader.h"
#include "pictures/picture_opening.h"
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
  parked_ = false;  // whatever comes now replaces the picture let go
  // A file the user opens is never passed over when it cannot be played: the mark is the slideshow's.
  if (!slideshowStepping_) restartedAt_.invalidate();
  if (Timer->isActive()) {
    MCI->setCommand(QStringLiteral("Close"));
    Timer->stop();
  }
  // A picture that is on its way to the pane is no longer wanted. A big one that is not decoded ahead is
  // decoded on the prefetch's worker while the window goes on answering; the pane changes when it is there.
  if (opening_->open(path, steppingNeighbours(), waitFreeBytes, busyDelayMs) !=
      PictureOpening::Opened::NoPicture)
    return;
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

void FrmMain::Paste() {
  opening_->cancel();
  parked_ = false;
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

bool FrmMain::picturePending() const { return opening_->pending(); }

void FrmMain::parkPicture() {
  const Picture picture = Img->picture();
  // A pasted picture has no file to come back from, and a drawing holds next to nothing.
  if (parked_ || cur_file.isEmpty() || picture.isNull() || picture.isDrawing() || !Img->Stretch ||
      4LL * picture.size().width() * picture.size().height() <= waitFreeBytes)
    return;
  parked_ = true;
  Img->setPicture(Picture());  // stretched: the pane keeps its size
}

void FrmMain::unparkPicture(PicturePrefetch& from) {
  if (!parked_) return;
  parked_ = false;
  prefetch->adopt(from);
  // A file gone or changed since leaves the pane empty, as a picture that no longer loads would.
  if (const std::optional<Picture> picture = prefetch->take(cur_file, steppingNeighbours()))
    Img->setPicture(*picture);
}
