// The desktop's media controls: the player's state for MPRIS, and its commands through the transport
// buttons' handlers.
#include "main_window/media_keys.h"

#include "app/program.h"
#include "controls/file_list.h"
#include "controls/key_preview.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "platform/dropped_files.h"

#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

MprisIdentity identity() {
  MprisIdentity id;
  id.busName = QString::fromLatin1(MediaKeys::kBusName);
  id.identity = TextTables::ProductName;
  id.desktopEntry = QStringLiteral("com.example.glintview");
  // As the desktop entry lists them: what OpenUri opens.
  id.mimeTypes = {QStringLiteral("image/bmp"),          QStringLiteral("image/vnd.microsoft.icon"),
                  QStringLiteral("image/x-win-bitmap"), QStringLiteral("image/wmf"),
                  QStringLiteral("image/jpeg"),         QStringLiteral("image/gif"),
                  QStringLiteral("audio/x-wav"),        QStringLiteral("audio/midi"),
                  QStringLiteral("video/x-msvideo"),    QStringLiteral("video/quicktime"),
                  QStringLiteral("video/mpeg")};
  id.uriSchemes = {QStringLiteral("file")};
  return id;
}

}  // namespace

MediaKeys::MediaKeys(Program& program)
    : program_(program), m_(*program.frm_main()), service_(*this, identity(), this) {
  MMControl* mci = m_.MCI;
  connect(mci, &MMControl::commandSent, this, &MediaKeys::followCommand);
  connect(mci, &MMControl::Done, this, [this](int code) {
    if (code == 1) halted_ = MprisStatus::Playback::Stopped;  // played to its end
    scheduleRefresh();
  });
  // The length is known once the medium has prerolled; the position tick runs meanwhile.
  connect(m_.Timer, &QTimer::timeout, this, &MediaKeys::scheduleRefresh);
  connect(m_.cmd_spk, &QPushButton::clicked, this, &MediaKeys::scheduleRefresh);
  // Next and previous step through the list the last file came from; either may empty or fill.
  for (QAbstractItemModel* model : {m_.File->model(), m_.List->model()}) {
    connect(model, &QAbstractItemModel::modelReset, this, &MediaKeys::scheduleRefresh);
    connect(model, &QAbstractItemModel::rowsInserted, this, &MediaKeys::scheduleRefresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &MediaKeys::scheduleRefresh);
  }
  connect(m_.File, &FileList::Click, this, &MediaKeys::scheduleRefresh);
  connect(m_.List, &QListWidget::itemSelectionChanged, this, &MediaKeys::scheduleRefresh);
  // Held back by the preferences or the full screen, the buttons take no click.
  m_.installEventFilter(this);
  keys_ = new KeyPreview(&m_, [this](QKeyEvent* key) { mediaKey(key); });
}

MediaKeys::~MediaKeys() {
  delete keys_;
  m_.removeEventFilter(this);
}

// The keys reach the window only where no desktop service has taken them for itself (one that forwards them
// over MPRIS grabs them). The play key is the play/pause key of most keyboards: it toggles, as the desktops
// that forward it send PlayPause. A held key acts once.
void MediaKeys::mediaKey(const QKeyEvent* key) {
  if (key->type() != QEvent::KeyPress || key->isAutoRepeat()) return;
  switch (key->key()) {
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
      playPause();
      break;
    case Qt::Key_MediaPause:
      pause();
      break;
    case Qt::Key_MediaStop:
      stop();
      break;
    case Qt::Key_MediaNext:
      next();
      break;
    case Qt::Key_MediaPrevious:
      previous();
      break;
    default:
      break;
  }
}

bool MediaKeys::publish(QDBusConnection connection) { return service_.publish(std::move(connection)); }

bool MediaKeys::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_ && event->type() == QEvent::EnabledChange) scheduleRefresh();
  return QObject::eventFilter(watched, event);
}

void MediaKeys::followCommand(const QString& command) {
  const auto is = [&command](const char* name) {
    return command.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
  };
  if (is("Open")) ++track_;
  if (is("Pause"))
    halted_ = MprisStatus::Playback::Paused;
  else if (is("Stop") || is("Open") || is("Close"))
    halted_ = MprisStatus::Playback::Stopped;
  // The command runs after this signal: look once it has.
  scheduleRefresh();
}

void MediaKeys::scheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshPending_ = false;
    service_.refresh();
  });
}

MprisStatus MediaKeys::status() const {
  const MMControl& mci = *m_.MCI;
  MprisStatus s;
  const bool open = mci.isOpen();
  if (open) {
    s.trackId = QStringLiteral("/org/mpris/MediaPlayer2/glview3/track/") + QString::number(track_);
    const bool cd = mci.deviceType().compare(QLatin1String("CDAudio"), Qt::CaseInsensitive) == 0;
    s.title = cd ? program_.tables().FilterText[17]
                 : Program::FileNamePart(mci.fileName()).value_or(mci.fileName());
    s.lengthUs = qint64(mci.Length()) * 1000;
    s.playback = mci.isPlaying() ? MprisStatus::Playback::Playing : halted_;
  }
  s.volume = mci.silent() ? 0.0 : 1.0;
  // isEnabled() is false while the window is held back, as for a click.
  s.canPlay = open && m_.cmd_play->isEnabled();
  s.canPause = open && m_.cmd_pause->isEnabled();
  const int count = m_.from_favourites ? m_.List->count() : m_.File->ListCount();
  s.canGoNext = count > 0 && m_.cmd_next->isEnabled();
  s.canGoPrevious = count > 0 && m_.cmd_prev->isEnabled();
  s.canSeek = open && s.lengthUs > 0 && m_.Timer->isActive() && m_.Slider->isEnabled();
  s.canQuit = m_.cmd_close->isEnabled();
  s.canRaise = true;
  return s;
}

qint64 MediaKeys::positionUs() const { return m_.MCI->isOpen() ? qint64(m_.MCI->Position()) * 1000 : 0; }

void MediaKeys::play() {
  if (status().canPlay) m_.cmd_play_Click();
}

void MediaKeys::pause() {
  if (status().canPause) m_.cmd_pause_Click();
}

void MediaKeys::playPause() {
  if (m_.MCI->isPlaying())
    pause();
  else
    play();
}

void MediaKeys::stop() {
  if (m_.MCI->isOpen() && m_.cmd_stop->isEnabled()) m_.cmd_stop_Click();
}

void MediaKeys::next() {
  if (status().canGoNext) m_.cmd_next_Click();
}

void MediaKeys::previous() {
  if (status().canGoPrevious) m_.cmd_prev_Click();
}

void MediaKeys::setPositionUs(qint64 us) {
  if (!status().canSeek) return;
  // As a move of the slider does: the start point, then "Play" by the play button's handler.
  m_.MCI->setFrom(qint32(std::clamp<qint64>(us / 1000, 0, std::numeric_limits<qint32>::max())));
  m_.cmd_play_Click();
}

void MediaKeys::setVolume(double volume) {
  // The player knows sound on and off: the speaker button's handler switches between them.
  if (!m_.cmd_spk->isEnabled() || (volume > 0) == m_.speaker_on) return;
  m_.cmd_spk_Click();
  scheduleRefresh();
}

void MediaKeys::openUri(const QString& uri) {
  if (!m_.isEnabled()) return;
  if (const auto path = droppedfiles::localPath(uri.toUtf8())) m_.showDropped(*path);
}

void MediaKeys::raise() {
  // The window that has the user's attention: the full screen or the preferences while they hold the
  // main window back.
  QWidget* shown = &m_;
  if (program_.frm_full()->isVisible())
    shown = program_.frm_full();
  else if (program_.preferencesWindow()->isVisible())
    shown = program_.preferencesWindow();
  if (shown->isMinimized()) shown->showNormal();
  shown->show();
  shown->raise();
  shown->activateWindow();
}

void MediaKeys::quit() {
  if (m_.cmd_close->isEnabled()) m_.cmd_close_Click();
}
