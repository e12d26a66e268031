// Media playback: the transport buttons, the speaker, the position tick, the slider in media mode and the
// end of a medium (loop or slideshow).
#include "main_window/frm_main.h"

#include "app/program.h"
#include "app/text_tables.h"
#include "controls/file_list.h"
#include "media/mmcontrol.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// A medium that ends sooner than this after the loop or the slideshow started it did not really play.
constexpr qint64 kQuickEndMs = 100;
// The position tick's pace: the display's at most, and never so slow that the thumb lags visibly.
constexpr qint64 kFastestTickMs = 16;
constexpr qint64 kSlowestTickMs = 100;

// The start point for a slider value: value / max of the length, rounded to nearest, ties to even.
qint32 startPoint(qint64 value, qint64 max, qint64 length) {
  return max > 0 ? static_cast<qint32>(std::llrint(double(value * length) / double(max))) : 0;
}

QString percentText(qint64 value, qint64 max) {
  return QString::number(max > 0 ? static_cast<qint64>(double(value * 100) / double(max)) : 0) +
         QLatin1Char('%');
}

// Whether the slider's style draws the thumb in another place for one value than for the other; the style
// is asked with one option for both, which is most of the asking's cost.
bool thumbsDiffer(const QSlider* slider, int one, int other) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.subControls = QStyle::SC_None;
  option.activeSubControls = QStyle::SC_None;
  option.orientation = slider->orientation();
  option.maximum = slider->maximum();
  option.minimum = slider->minimum();
  option.tickPosition = slider->tickPosition();
  option.tickInterval = slider->tickInterval();
  option.upsideDown = (slider->orientation() == Qt::Horizontal)
                          ? (slider->invertedAppearance() != (option.direction == Qt::RightToLeft))
                          : (!slider->invertedAppearance());
  option.direction = Qt::LeftToRight;  // the thumb's place is already mirrored through upsideDown
  option.singleStep = slider->singleStep();
  option.pageStep = slider->pageStep();
  const auto thumbAt = [&](int value) {
    option.sliderPosition = value;
    option.sliderValue = value;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
  };
  return thumbAt(one) != thumbAt(other);
}

// What a slider value shows in media mode: the percentage, and the start point of the next "Play".
void showPosition(FrmMain& m, int value) {
  const qint64 max = m.Slider->maximum();
  // QLabel repaints only when the text really changes.
  m.lb_percent->setText(percentText(value, max));
  m.MCI->setFrom(startPoint(value, max, m.MCI->Length()));
}

}  // namespace

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

void FrmMain::MCI_NoSoundOutput() {
  // The control tells this once; the note stays, as the lack does.
  lb_sound->setText(TextTables::noticeText(TextTables::Notice::NoSoundOutput, program_.use_chinese()));
  lb_sound->show();
}

void FrmMain::Timer_Timer() {
  // The thumb held by the user stays where the user puts it.
  if (Slider->isSliderDown()) return;
  const qint64 length = MCI->Length();
  const qint64 max = Slider->maximum();
  const qint64 position = MCI->Position();
  // Nothing open, or a length not known yet: the slider rests at 0.
  const int value = int(std::clamp<qint64>(
      length > 0 ? std::llrint(double(max * position) / double(max > 0 ? length : 1)) : 0, 0, max));
  const int shown = Slider->value();
  // The slider is seldom wider than a few hundred pixels: most new values would repaint it at the tick's
  // pace without moving its thumb. Such a value only updates the percentage and the start point, which is
  // what the slider handling would do with it. The ends are always taken, so that a rewind reads 0.
  const bool thumbMoves =
      value != shown && (value == 0 || value == max || thumbsDiffer(Slider, value, shown));
  if (thumbMoves) {
    // The mark covers only this assignment, so that a later move by the user is never taken for the tick's.
    timer_moved = true;
    Slider->setValue(value);
    timer_moved = false;
  } else if (value != shown || lb_percent->text() != percentText(value, max)) {
    showPosition(*this, value);
  }
  // Ticks between two visible changes (the thumb's next pixel, the percentage's next step) only wake the
  // program: the tick comes as often as the medium's length and the slider's width can show a change.
  const qint64 pixels = std::max(1, Slider->width());
  const qint64 visibleMs = length > 0 ? std::min(length / pixels, length / 100) : kSlowestTickMs;
  const int interval = int(std::clamp(visibleMs, kFastestTickMs, kSlowestTickMs));
  if (Timer->interval() != interval) Timer->setInterval(interval);
}

void FrmMain::Slider_Change() {
  if (!Timer->isActive()) {
    // Picture mode: the slider zooms.
    applyZoom();
    return;
  }
  showPosition(*this, Slider->value());
  if (!timer_moved) MCI->setCommand(QStringLiteral("Play"));
  timer_moved = false;
}

void FrmMain::MCI_Done(int NotifyCode) {
  // A medium that the slideshow brought up and that cannot be played (broken, empty, stalled) is passed
  // over like one that ended at once, so that one bad file does not end the show. A failure of a file the
  // user opened, and any other code, changes nothing: the selection stays where the user put it.
  const bool passOver = NotifyCode == 8 && restartedAt_.isValid() &&
                        program_.options().CheckValue(Options::SlideshowMedia) == 1;
  if (NotifyCode != 1 && !passOver) {
    // Whatever ended so (a stop, a newer open, a failure), the next failure is no longer the slideshow's.
    restartedAt_.invalidate();
    return;
  }
  // Media that end at once (sounds of a few milliseconds, say) would otherwise be restarted or stepped
  // through for ever: once a whole pass of the list, or of the looped medium, played nothing for 100 ms,
  // stop. "Nothing" is either measure: less than 100 ms of the medium (which a busy machine cannot stretch),
  // or less than 100 ms of wall time (a broken file whose header promises a length it does not hold).
  const qint64 mediumMs = std::max(MCI->Length(), MCI->Position());
  const bool quick = passOver || (restartedAt_.isValid() &&
                                  (restartedAt_.elapsed() < kQuickEndMs || mediumMs < kQuickEndMs));
  quickEnds_ = quick ? quickEnds_ + 1 : 0;
  restartedAt_.invalidate();

  const Options& options = program_.options();
  if (options.CheckValue(Options::SlideshowMedia) != 1) {
    if (options.CheckValue(Options::LoopMedia) == 1 && quickEnds_ < 1) {
      restartedAt_.start();
      MCI->setCommand(QStringLiteral("Prev"));
      MCI->setCommand(QStringLiteral("Play"));
    }
    return;
  }
  const int count = from_favourites ? List->count() : File->ListCount();
  // An empty list has no next entry; the slideshow ends there.
  if (count == 0 || quickEnds_ >= count) return;
  const int index = from_favourites ? favouriteIndex() : File->ListIndex();
  const int next = index < count - 1 ? index + 1 : 0;
  // Selecting the entry runs its list's click handling, which opens it when "Auto play when click" is on.
  restartedAt_.start();
  slideshowStepping_ = true;
  if (from_favourites)
    List->setCurrentRow(next);
  else
    File->setListIndex(next);
  slideshowStepping_ = false;
}
