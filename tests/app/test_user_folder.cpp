// Installed where the program's folder cannot be written: the settings and the favourites go to the user's
// configuration folder, are read from there first, and the program's folder is still read while the user's
// holds nothing. Same names, same bytes.
#include "app/text_tables.h"
#include "full_disk.h"
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

const QByteArray kList = "/music/one.wav\r\n/music/two.wav\r\n";

QByteArray settings(const QString& folder, const char* check2, const char* chinese) {
  return QFile::encodeName(folder) + "\r\n 1 \r\n 1 \r\n" + check2 +
         "\r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\nTrue\r\n" + chinese + "\r\n";
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestUserFolder : public QObject {
  Q_OBJECT

 private slots:
  void readOnlyProgramFolderUsesTheUserFolder() {
    ReadOnlyFolder program_folder;
    if (!program_folder.ready()) QSKIP("no read-only folder to be had here");
    const QString home = QDir::homePath();
    const QByteArray old_settings = settings(home, " 0 ", "True");
    QVERIFY(program_folder.put(QStringLiteral("glview3.ini"), old_settings));
    QVERIFY(program_folder.put(QStringLiteral("default.lst"), kList));
    QVERIFY(program_folder.lock());

    ProgramFixture fixture(program_folder.folder());
    const QString user = fixture.configHome() + QStringLiteral("/glview3/");
    {
      Program& p = fixture.start();
      // Read from beside the program while the user's folder holds nothing.
      QVERIFY(p.use_chinese());
      QCOMPARE(p.frm_main()->List->count(), 2);
      p.frm_option()->setCheckValue(2, 1);
      p.frm_option()->CMD_Apply_Click();
      QVERIFY(fixture.messageBoxes->calls.isEmpty());
      QVERIFY(!p.frm_option()->CMD_Apply->isEnabled());
      QCOMPARE(readAll(user + QStringLiteral("glview3.ini")), settings(home, " 1 ", "True"));
      p.frm_main()->cmd_close_Click();
      QVERIFY(fixture.messageBoxes->calls.isEmpty());
      QCOMPARE(readAll(user + QStringLiteral("default.lst")), kList);
    }
    // The program's folder is as it was.
    QCOMPARE(program_folder.read(QStringLiteral("glview3.ini")), old_settings);
    QCOMPARE(program_folder.entries(),
             (QStringList{QStringLiteral("default.lst"), QStringLiteral("glview3.ini")}));

    // The next start reads the user's files first.
    QVERIFY(QFile::remove(user + QStringLiteral("default.lst")));
    QFile list(user + QStringLiteral("default.lst"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("/music/three.wav\r\n");
    list.close();
    Program& again = fixture.start();
    QCOMPARE(again.frm_option()->CheckValue(2), 1);
    QCOMPARE(again.frm_main()->List->count(), 1);
    QCOMPARE(again.frm_main()->FavPath()[0], QStringLiteral("/music/three.wav"));
  }

  // The user's folder cannot be made (its parent is read-only): what Apply and the exit say is why the folder
  // failed, not that the file's folder is missing.
  void unmadeUserFolderTellsItsOwnReason() {
    ReadOnlyFolder program_folder;
    ReadOnlyFolder config_parent;
    if (!program_folder.ready() || !config_parent.ready()) QSKIP("no read-only folder to be had here");
    QVERIFY(program_folder.lock());
    QVERIFY(config_parent.lock());
    ProgramFixture fixture(program_folder.folder());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_parent.folder() + QStringLiteral("/config")));
    Program& p = fixture.start();
    p.frm_option()->CMD_Apply_Click();
    p.frm_main()->cmd_close_Click();
    QCOMPARE(fixture.messageBoxes->calls.size(), 2);
    const QString missing = QString::fromLocal8Bit(std::strerror(ENOENT));
    const QString readOnly = QString::fromLocal8Bit(std::strerror(EROFS));
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    for (const auto& call : fixture.messageBoxes->calls) {
      QVERIFY2(!call.prompt.contains(missing), qPrintable(call.prompt));
      QVERIFY2(call.prompt.contains(readOnly) || call.prompt.contains(denied), qPrintable(call.prompt));
    }
  }

  void writableProgramFolderKeepsItsFiles() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    p.frm_option()->CMD_Apply_Click();
    p.frm_main()->cmd_close_Click();
    QVERIFY(QFile::exists(fixture.path(QStringLiteral("glview3.ini"))));
    QVERIFY(QFile::exists(fixture.path(QStringLiteral("default.lst"))));
    QVERIFY(!QDir(fixture.configHome() + QStringLiteral("/glview3")).exists());
  }
};

QTEST_MAIN(TestUserFolder)
#include "test_user_folder.moc"
