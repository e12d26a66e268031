// Opening a file: a picture when it loads as one, otherwise the multimedia control plays it.
#include "main_window/frm_main.h"

#include "app/program.h"
#include "platform/mmcontrol.h"
#include "platform/picture_box.h"
#include "platform/picture_loader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>

void FrmMain::FileOpen(const QString& path) {
  if (Timer->isActive()) {
    MCI->setCommand(QStringLiteral("Close"));
    Timer->stop();
  }
  if (openAsPicture(path)) return;

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

bool FrmMain::openAsPicture(const QString& path) {
  Img->Stretch = false;
  const auto picture = LoadPicture(path);
  if (!picture) return false;
  Img->setPicture(*picture);
  Img->Stretch = true;
  Slider->setTickPosition(QSlider::TicksBelow);
  Slider->setMaximum(40);
  cur_file = path;
  Img_Change();
  return true;
}

void FrmMain::Paste() {
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
  lb_size->setText(QString::number(pic_width) + QLatin1Char('x') + QString::number(pic_height));
  layOutPane();
  // Setting the value runs the slider handling; when it already is 10 the handling still has to run, or the
  // percentage would keep whatever the other mode last showed.
  if (Slider->value() == 10)
    Slider_Change();
  else
    Slider->setValue(10);
}

void FrmMain::OpenWith() {
  cur_file = cur_file.trimmed();
  if (cur_file.isEmpty()) return;
  if (!program_.seams.launcher->openFile(cur_file)) {
    // Fixed English texts in both languages.
    program_.seams.messageBoxes->show(this, QMessageBox::Critical, QStringLiteral("Warning!!"),
                                      QStringLiteral("An error occur when open with this picture!!"),
                                      QMessageBox::Ok, QMessageBox::Ok);
  }
}
