#include "app/program.h"

#include "app/frm_splash.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "main_window/media_keys.h"
#include "menus/frm_dummy.h"
#include "platform/dropped_files.h"
#include "platform/file_names.h"
#include "preferences/frm_option.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstring>

namespace {

Seams withDefaults(Seams seams) {
  seams.fillDefaults();
  return seams;
}

}  // namespace

Program::Program(const QString& app_dir_path, Seams given_seams)
    : app_dir(withSeparator(QDir::toNativeSeparators(QDir::cleanPath(app_dir_path)))),
      seams(withDefaults(std::move(given_seams))) {
  endProgram = [this] {
    // Every window goes away without further events; nothing else is saved.
    ended = true;
    QCoreApplication::exit(0);
  };
}

Program::~Program() = default;

void Program::start() {
  splash_ = std::make_unique<FrmSplash>(*this);
  splash_->Form_Load();
  if (splash_->shouldShow()) splash_->show();
  splash_->armTimer();
}

void Program::startNow() {
  splash_ = std::make_unique<FrmSplash>(*this);
  splash_->Form_Load();
  splash_->Timer_Timer();
}

QString Program::userFolder() const {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (folder.isEmpty()) return app_dir;
  folder = QDir::toNativeSeparators(folder + QStringLiteral("/glview3"));
  return folder + QDir::separator();
}

QString Program::readPath(const QString& name) const {
  const QString user = userFolder() + name;
  return filenames::stat(user) ? user : app_dir + name;
}

namespace {

#ifdef Q_OS_UNIX
// Makes `path` and the missing folders above it: 0, or the errno of the first mkdir that failed otherwise
// than for a missing parent.
int makeDirs(const QByteArray& path) {
  if (::mkdir(path.constData(), 0777) == 0 || errno == EEXIST) return 0;
  const int failure = errno;
  const qsizetype slash = path.lastIndexOf('/');
  if (failure != ENOENT || slash <= 0) return failure;
  if (const int above = makeDirs(path.left(slash)); above != 0) return above;
  return ::mkdir(path.constData(), 0777) == 0 || errno == EEXIST ? 0 : errno;
}
#endif

// Makes `folder`; on failure `error` says why, where the platform tells.
void makeFolder(const QString& folder, QString* error) {
#ifdef Q_OS_UNIX
  QByteArray path = filenames::encode(folder);
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  if (const int failure = makeDirs(path); failure != 0 && error)
    *error = QString::fromLocal8Bit(std::strerror(failure));
#else
  Q_UNUSED(error);
  QDir().mkpath(folder);
#endif
}

}  // namespace

QString Program::writePath(const QString& name, QString* error) const {
  const QString user = userFolder() + name;
  const QString own = app_dir + name;
  if (user == own || filenames::stat(user)) return user;
  if (!filenames::writable(app_dir) || (filenames::stat(own) && !filenames::writable(own))) {
    makeFolder(userFolder(), error);
    return user;
  }
  return own;
}

void Program::endSession() {
  if (ended) return;
  if (main_)
    main_->endSession();
  else
    endProgram();  // still starting: nothing of this run to keep yet
}

const Options& Program::options() const { return *option_; }

QWidget* Program::preferencesWindow() const { return option_.get(); }

void Program::releaseMainWindow() {
  if (!main_) return;
  const bool held = option_->isVisible() || full_->isVisible();
  if (!held) main_->setEnabled(true);
}

void Program::loadWindows() {
  main_ = std::make_unique<FrmMain>(*this);
  option_ = std::make_unique<FrmOption>(*this);
  full_ = std::make_unique<FrmFull>(*this);
  dummy_ = std::make_unique<FrmDummy>(*this);
  // Each window's own load handling runs once all of them exist, in the order they were loaded, since the
  // main window's load reads the options of the preferences window.
  main_->Form_Load();
  option_->Form_Load();
  full_->Form_Load();
  dummy_->Form_Load();
  if (publishOnSessionBus) {
    mediaKeys_ = std::make_unique<MediaKeys>(*this);
    mediaKeys_->publish();
  }
}

void Program::showStartFiles() {
  if (const auto path = droppedfiles::firstExisting(startFiles)) main_->showDropped(*path);
}

std::optional<QString> Program::FileNamePart(const QString& path) {
  const int i = path.lastIndexOf(QDir::separator());
  if (i < 0) return std::nullopt;
  return path.mid(i + 1);
}

QString Program::withSeparator(QString folder) {
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

QString Program::desktopDir() {
  // The desktop's own idea of it (a localised name such as "桌面" on a Chinese desktop, from the user's
  // folder settings); the Desktop below the home folder where the platform names none.
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty()) return QDir::toNativeSeparators(desktop);
  return withSeparator(GetWindowsDir()) + QStringLiteral("Desktop");
}

QString Program::GetWindowsDir() {
  // Where there is no Windows folder the user's home folder takes its place; its Desktop lies below it.
  return QDir::toNativeSeparators(QDir::homePath());
}
