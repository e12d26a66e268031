// Media playback: the transport buttons, the speaker, the position tick, the slider in media mode and the
// end of a medium (loop or slideshow).
#include "main_window/frm_main.h"

#include "app/program.h"
#include "platform/file_list.h"
#include "platform/mmcontrol.h"
#include "preferences/frm_option.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <cmath>

void FrmMain::cmd_play_Click() { MCI->setCommand(QStringLiteral("Play")); }
void FrmMain::cmd_pause_Click() { MCI->setCommand(QStringLiteral("Pause")); }
void FrmMain::cmd_stop_Click() {
  MCI->setCommand(QStringLiteral("Stop"));
  MCI->setCommand(QStringLiteral("Prev"));
}
void FrmMain::cmd_back_Click() { MCI->setCommand(QStringLiteral("Back")); }
void FrmMain::cmd_ff_Click() { MCI->setCommand(QStringLiteral("Step")); }
void FrmMain::cmd_eject_Click() { MCI->setCommand(QStringLiteral("Eject")); }

void FrmMain::cmd_spk_Click() {
  speaker_on = !speaker_on;
  cmd_spk->setIcon(QIcon(speaker_on ? img_spkon : img_spkoff));
  MCI->setSilent(!speaker_on);
}

void FrmMain::Timer_Timer() {
  timer_moved = true;
  const qint64 length = MCI->Length();
  const qint64 max = Slider->maximum();
  const qint64 position = MCI->Position();
  // Nothing open, or a length not known yet: the slider rests at 0.
  const int value =
      length > 0 ? static_cast<int>(std::nearbyint(double(max * position) / double(length))) : 0;
  Slider->setValue(value);
}

void FrmMain::Slider_Change() {
  if (!Timer->isActive()) {
    // Picture mode: the slider zooms.
    applyZoom();
    return;
  }
  const qint64 value = Slider->value();
  const qint64 max = Slider->maximum();
  lb_percent->setText(QString::number(max > 0 ? static_cast<qint64>(double(value * 100) / double(max)) : 0) +
                      QLatin1Char('%'));
  const qint64 length = MCI->Length();
  MCI->setFrom(max > 0 ? static_cast<qint32>(std::nearbyint(double(value * length) / double(max))) : 0);
  if (!timer_moved) MCI->setCommand(QStringLiteral("Play"));
  timer_moved = false;
}

void FrmMain::MCI_Done(int NotifyCode) {
  if (NotifyCode != 1) return;
  FrmOption* options = program_.frm_option;
  if (options->CheckValue(0) != 1) {
    if (options->CheckValue(1) == 1) {
      MCI->setCommand(QStringLiteral("Prev"));
      MCI->setCommand(QStringLiteral("Play"));
    }
    return;
  }
  if (from_favourites) {
    const int count = List->count();
    if (count == 0) return;
    const int index = List->currentRow();
    List->setCurrentRow(index < count - 1 ? index + 1 : 0);
  } else {
    const int count = File->ListCount();
    if (count == 0) return;
    const int index = File->ListIndex();
    File->setListIndex(index < count - 1 ? index + 1 : 0);
  }
}
