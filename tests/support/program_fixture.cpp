#include "program_fixture.h"

#include "menus/frm_dummy.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>

namespace {

// The program's trash and configuration folder live in the test's own temporary home, never the real one.
void useHome(const QTemporaryDir& home) {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
}

// The data folder (the trash's) is the process's: GLib reads it once, at its first use, and keeps it. So it
// is set before main(), where nothing can have read the real one yet.
const QTemporaryDir& processData() {
  static const QTemporaryDir data;
  return data;
}
const bool dataHomeSet = qputenv("XDG_DATA_HOME", QFile::encodeName(processData().path()));

}  // namespace

ProgramFixture::ProgramFixture() : folder_(dir_.path()) { useHome(home_); }

ProgramFixture::ProgramFixture(const QString& folder) : folder_(QDir::cleanPath(folder)) { useHome(home_); }

ProgramFixture::~ProgramFixture() = default;

QString ProgramFixture::dataHome() const { return processData().path(); }

QString ProgramFixture::appDir() const { return QDir::toNativeSeparators(folder_) + QDir::separator(); }

void ProgramFixture::writeFile(const QString& name, const QByteArray& bytes) const {
  QFile file(path(name));
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

QByteArray ProgramFixture::readFile(const QString& name) const {
  QFile file(path(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

Program& ProgramFixture::start() {
  Seams seams;
  auto boxes = std::make_unique<FakeMessageBoxes>();
  auto dialogs = std::make_unique<FakeFileDialogs>();
  auto launch = std::make_unique<FakeLauncher>();
  messageBoxes = boxes.get();
  fileDialogs = dialogs.get();
  launcher = launch.get();
  seams.messageBoxes = std::move(boxes);
  seams.fileDialogs = std::move(dialogs);
  seams.launcher = std::move(launch);
  owner_ = std::make_unique<Program>(folder_, std::move(seams));
  program = owner_.get();
  program->startFiles = startFiles;
  program->publishOnSessionBus = sessionBus;
  program->endProgram = [this] {
    program->ended = true;
    ++endCount;
  };
  program->startNow();
  realPopupMenu = program->frm_dummy()->popupMenu;
  program->frm_dummy()->popupMenu = [this](QMenu* menu) {
    poppedMenus << menu;
    if (chooseMenuItem.isEmpty()) return;
    for (QAction* action : menu->actions()) {
      if (action->text() == chooseMenuItem && action->isEnabled()) {
        action->trigger();
        return;
      }
    }
  };
  return *program;
}
