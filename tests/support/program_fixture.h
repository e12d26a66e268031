#pragma once

#include "app/program.h"
#include "fake_seams.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QMenu;

// A whole program in a temporary program folder, with fake desktop seams and popups that record instead of
// waiting. Files to place beside the program (settings, default.lst) are written before start().
class ProgramFixture {
 public:
  ProgramFixture();
  // The program folder is `folder` (which must exist) instead of a temporary one.
  explicit ProgramFixture(const QString& folder);
  ~ProgramFixture();

  QString appDir() const;  // with a trailing separator
  QString path(const QString& name) const { return appDir() + name; }
  void writeFile(const QString& name, const QByteArray& bytes) const;
  QByteArray readFile(const QString& name) const;

  QString dataHome() const;  // one for the whole process
  QString configHome() const { return home_.filePath(QStringLiteral("config")); }

  // Creates the Program and runs the start-up (splash load and its tick) at once.
  Program& start();

  // Set before start(): the command line's files, and whether the player goes on the session bus (off, so
  // that tests stay off a real desktop's bus).
  QStringList startFiles;
  bool sessionBus = false;

  Program* program = nullptr;
  FakeMessageBoxes* messageBoxes = nullptr;
  FakeFileDialogs* fileDialogs = nullptr;
  FakeLauncher* launcher = nullptr;
  QList<QMenu*> poppedMenus;
  // The program's own popup, which opens the real menu and waits for it, for tests that answer real menus.
  std::function<void(QMenu*)> realPopupMenu;
  QString chooseMenuItem;  // text of the item a popped menu chooses; empty: none
  int endCount = 0;

 private:
  QTemporaryDir dir_;
  QString folder_;      // the program folder
  QTemporaryDir home_;  // the user's configuration folder
  std::unique_ptr<Program> owner_;
};
