#pragma once

#include "app/language.h"
#include "app/options.h"
#include "app/text_tables.h"
#include "platform/seams.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class FrmSplash;
class FrmMain;
class FrmOption;
class QWidget;
class FrmFull;
class FrmDummy;
class MediaKeys;

// The program itself: the process-wide values, the five windows and the desktop seams. main() creates one
// Program; a test creates its own with a temporary program folder and fake seams. The windows are created
// once (splash first, the other four on the splash's first tick) and live as long as the Program.
class Program : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxFavourites = 51;

  // app_dir_path: the folder that holds the program; seams not given are the real desktop ones.
  explicit Program(const QString& app_dir_path, Seams seams = {});
  ~Program() override;

  // Start-up as the user sees it: the splash loads and shows, its first tick loads the rest.
  void start();
  // The same start-up without waiting for the event loop (tests): splash load, then the tick's work.
  void startNow();

  // Process-wide values.
  const QString crlf = QStringLiteral("\r\n");
  const QString app_dir;  // always ends with the platform's separator
  // The interface's language: Chinese or English. ApplyInterface shows a change.
  bool use_chinese() const { return useChinese_; }
  void setUseChinese(bool chinese) { useChinese_ = chinese; }
  // The captions and messages in both languages; ApplyInterface selects the interface's.
  const TextTables& tables() const { return tables_; }
  void fillTables() { tables_.fill(); }  // the splash's load does it, first of all

  // Shared procedures (settings file, interface application).
  void LoadSettings(int keep_folder);
  // Returns success; a failed save leaves the old file byte for byte and says why in `error`.
  bool SaveSettings(QString* error = nullptr);
  QString settingsPath() const;  // where the settings are written now

  // The program's own files ("glview3.ini", "default.lst"): beside the program, or in the user's
  // configuration folder where the program's folder cannot be written (installed under /usr, say). Read from
  // the user's folder first, then beside the program; written to the user's folder once it holds the file
  // or when the program's folder (or the file there) is not writable.
  QString userFolder() const;  // with a trailing separator
  QString readPath(const QString& name) const;
  // Makes the user's folder when the file goes there; when that fails, `error` (if given) says why, as the
  // first step that failed found it (a write into the missing folder would only say it is missing).
  QString writePath(const QString& name, QString* error = nullptr) const;
  void ApplyInterface();

  // The text after the last separator of path; nullopt when path has no separator at all.
  static std::optional<QString> FileNamePart(const QString& path);
  // The folder with one separator at its end, ready for a file name.
  static QString withSeparator(QString folder);
  static QString GetWindowsDir();
  // The folder Ctrl-D goes to: the platform's desktop location.
  static QString desktopDir();

  // The five windows, owned here and handed out only through these: the splash from start(), the other
  // four from the splash's tick (loadWindows), null before that. Once the tick has run, every one exists for
  // the rest of the Program's life.
  FrmSplash* frm_splash() const { return splash_.get(); }
  FrmMain* frm_main() const { return main_.get(); }
  FrmOption* frm_option() const { return option_.get(); }
  FrmFull* frm_full() const { return full_.get(); }
  FrmDummy* frm_dummy() const { return dummy_.get(); }
  // What the other windows read of the preferences, and the preferences window itself to show it: so that
  // no window needs the preferences' own header.
  const Options& options() const;
  QWidget* preferencesWindow() const;

  Seams seams;  // the desktop's message boxes, file dialogs and launcher; tests put fakes in

  // The files named on the command line (main() sets them): the first that exists is shown once the main
  // window is up, as a drop of it would show it.
  QStringList startFiles;
  void showStartFiles();

  // Whether the player is offered to the desktop's media controls (MPRIS on the session bus) at start-up.
  // Tests that do not test that leave the bus alone.
  bool publishOnSessionBus = true;
  MediaKeys* mediaKeys() const { return mediaKeys_.get(); }

  // Qt's own texts in the interface's language; ApplyInterface keeps it so.
  QtTranslation qtTranslation;

  // Ends the program at once (the exit sequence's last step). Tests replace it to observe the end.
  std::function<void()> endProgram;
  bool ended = false;

  // The program is ended from outside (logout, SIGTERM): the exit sequence runs without asking anything.
  void endSession();

  // The main window takes input again unless the preferences or the full-screen window is still shown (they
  // hold it back while they are up).
  void releaseMainWindow();

  // Called by the splash's tick: loads the four other windows in order.
  void loadWindows();

 private:
  bool useChinese_ = false;
  TextTables tables_;
  std::unique_ptr<FrmSplash> splash_;
  std::unique_ptr<FrmMain> main_;
  std::unique_ptr<FrmOption> option_;
  std::unique_ptr<FrmFull> full_;
  std::unique_ptr<FrmDummy> dummy_;
  std::unique_ptr<MediaKeys> mediaKeys_;  // last: it refers to the main window
};
