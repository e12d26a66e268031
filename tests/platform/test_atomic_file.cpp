// Writes on a full disk: every file the program writes (the settings, "default.lst" at exit, a saved list, a
// saved bitmap) is left byte for byte as it was, no temporary file stays behind, and the user is told.
#include "app/text_tables.h"
#include "controls/picture_box.h"
#include "full_disk.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "pictures/bitmap_save.h"
#include "platform/atomic_file.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kOldList = "/music/one.wav\r\n/music/two.wav\r\n/pictures/three.bmp\r\n";
const QByteArray kOldSettings = "/\r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 1 \r\n 0 \r\nTrue\r\nFalse\r\n";
const QByteArray kOldBitmap = QByteArray("BM") + QByteArray(200, '\x11');

bool told(const FakeMessageBoxes& boxes, const QString& words) {
  for (const auto& call : boxes.calls)
    if (call.prompt.contains(words)) return true;
  return false;
}

QString saveFailedWords() {
  return TextTables::noticeText(TextTables::Notice::FileNotSaved, false).section(QLatin1Char('%'), 0, 0);
}

}  // namespace

class TestAtomicFile : public QObject {
  Q_OBJECT

 private slots:
  void writesWholeFilesWhereThereIsRoom();
  void fullDiskLeavesOldFileAndNoTemporary();
  void exitOnFullDiskKeepsDefaultListAndTells();
  void applyOnFullDiskKeepsSettingsAndChoices();
  void listSaveOnFullDiskKeepsFileAndList();
  void bitmapSaveOnFullDiskKeepsFile();
};

void TestAtomicFile::writesWholeFilesWhereThereIsRoom() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.txt"));
  QVERIFY(writeFileAtomically(path, "first"));
  const QByteArray big(3 * 1024 * 1024 + 7, 'z');  // more than any write buffer
  QVERIFY(writeFileAtomically(path, big));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), big);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.txt")});
  // A folder that does not exist: a failure, with a reason.
  QString error;
  QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("no/such/b.txt")), "x", &error));
  QVERIFY(!error.isEmpty());
}

void TestAtomicFile::fullDiskLeavesOldFileAndNoTemporary() {
  FullDisk disk;
  if (!disk.ready()) QSKIP(qPrintable(disk.why()));
  QVERIFY(disk.put(QStringLiteral("old.txt"), kOldList));
  QVERIFY(disk.fill());
  for (const qsizetype size : {qsizetype(10), qsizetype(5000), qsizetype(200000)}) {
    QString error;
    QVERIFY(!writeFileAtomically(disk.path(QStringLiteral("old.txt")), QByteArray(size, 'n'), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(disk.read(QStringLiteral("old.txt")), kOldList);
    QVERIFY(!writeFileAtomically(disk.path(QStringLiteral("new.txt")), QByteArray(size, 'n')));
    QCOMPARE(disk.entries(), QStringList{QStringLiteral("old.txt")});
  }
  // Written through the device, as pictures are saved.
  AtomicFile file(disk.path(QStringLiteral("old.txt")));
  QVERIFY(file.open());
  file.device().write(QByteArray(8192, 'd'));
  QVERIFY(!file.commit());
  QCOMPARE(disk.read(QStringLiteral("old.txt")), kOldList);
}

void TestAtomicFile::exitOnFullDiskKeepsDefaultListAndTells() {
  FullDisk disk;
  if (!disk.ready()) QSKIP(qPrintable(disk.why()));
  QVERIFY(disk.put(QStringLiteral("default.lst"), kOldList));
  ProgramFixture fixture(disk.folder());
  Program& program = fixture.start();
  QCOMPARE(program.frm_main()->List->count(), 3);
  QVERIFY(disk.fill());
  program.frm_main()->cmd_close_Click();
  QVERIFY(program.ended);
  QCOMPARE(disk.read(QStringLiteral("default.lst")), kOldList);
  QCOMPARE(disk.entries(), QStringList{QStringLiteral("default.lst")});
  const QString words =
      TextTables::noticeText(TextTables::Notice::FavouritesNotKept, false).section(QLatin1Char('%'), 0, 0);
  QVERIFY(told(*fixture.messageBoxes, words));
}

void TestAtomicFile::applyOnFullDiskKeepsSettingsAndChoices() {
  FullDisk disk;
  if (!disk.ready()) QSKIP(qPrintable(disk.why()));
  QVERIFY(disk.put(QStringLiteral("glview3.ini"), kOldSettings));
  ProgramFixture fixture(disk.folder());
  Program& program = fixture.start();
  FrmOption& options = *program.frm_option();
  QCOMPARE(options.CheckValue(2), 0);
  QVERIFY(disk.fill());
  options.show();
  options.setCheckValue(2, 1);
  options.CMD_Apply_Click();
  QCOMPARE(disk.read(QStringLiteral("glview3.ini")), kOldSettings);
  QCOMPARE(disk.entries(), QStringList{QStringLiteral("glview3.ini")});
  QVERIFY(told(
      *fixture.messageBoxes,
      TextTables::noticeText(TextTables::Notice::SettingsNotSaved, false).section(QLatin1Char('%'), 0, 0)));
  QVERIFY(options.CMD_Apply->isEnabled());
  // OK would re-read the old file and undo the choice: it keeps the dialog and the choice instead.
  options.CMD_OK_Click();
  QVERIFY(options.isVisible());
  QCOMPARE(options.CheckValue(2), 1);
  QCOMPARE(fixture.messageBoxes->calls.size(), 2);
}

void TestAtomicFile::listSaveOnFullDiskKeepsFileAndList() {
  FullDisk disk;
  if (!disk.ready()) QSKIP(qPrintable(disk.why()));
  QVERIFY(disk.put(QStringLiteral("mine.lst"), "/old/a.wav\r\n"));
  ProgramFixture fixture;
  fixture.writeFile(QStringLiteral("default.lst"), kOldList);
  Program& program = fixture.start();
  QVERIFY(disk.fill());
  fixture.fileDialogs->answers.push_back(disk.path(QStringLiteral("mine.lst")));
  fixture.messageBoxes->answers.push_back(QMessageBox::Yes);  // replace it
  program.frm_dummy()->mnu_savelist_Click();
  QCOMPARE(disk.read(QStringLiteral("mine.lst")), QByteArray("/old/a.wav\r\n"));
  QCOMPARE(disk.entries(), QStringList{QStringLiteral("mine.lst")});
  QVERIFY(told(*fixture.messageBoxes, saveFailedWords()));

  // "Save first?" Yes, and the save fails: New and Open stop, the list stays.
  for (const bool open : {false, true}) {
    fixture.messageBoxes->answers.push_back(QMessageBox::Yes);
    fixture.messageBoxes->answers.push_back(QMessageBox::Yes);  // replace it
    fixture.fileDialogs->answers.push_back(disk.path(QStringLiteral("mine.lst")));
    const qsizetype dialogs = fixture.fileDialogs->calls.size();
    if (open)
      program.frm_dummy()->mnu_openlist_Click();
    else
      program.frm_dummy()->mnu_newlist_Click();
    QCOMPARE(fixture.fileDialogs->calls.size(), dialogs + 1);  // the save dialog only, no Open dialog
    QCOMPARE(program.frm_main()->List->count(), 3);
    QCOMPARE(program.frm_main()->FavPath()[2], QStringLiteral("/pictures/three.bmp"));
  }
}

void TestAtomicFile::bitmapSaveOnFullDiskKeepsFile() {
  FullDisk disk;
  if (!disk.ready()) QSKIP(qPrintable(disk.why()));
  QVERIFY(disk.put(QStringLiteral("pic.bmp"), kOldBitmap));
  ProgramFixture fixture;
  const QString source = fixture.path(QStringLiteral("source.bmp"));
  QVERIFY(picture_gen::WriteFile(source, picture_gen::MakeBmp(picture_gen::Quadrants(QSize(64, 48)))));
  Program& program = fixture.start();
  program.frm_main()->FileOpen(source);
  QCOMPARE(program.frm_main()->Img->picture().size(), QSize(64, 48));
  QVERIFY(disk.fill());
  fixture.fileDialogs->answers.push_back(disk.path(QStringLiteral("pic.bmp")));
  fixture.messageBoxes->answers.push_back(QMessageBox::Yes);  // replace it
  QSignalSpy failed(program.frm_dummy()->bitmapSaver.get(), &BitmapSaver::failed);
  program.frm_dummy()->mnu_savebitmap_Click();
  QVERIFY(failed.wait(10000));
  QCOMPARE(disk.read(QStringLiteral("pic.bmp")), kOldBitmap);
  QCOMPARE(disk.entries(), QStringList{QStringLiteral("pic.bmp")});
  QVERIFY(told(*fixture.messageBoxes, saveFailedWords()));
}

QTEST_MAIN(TestAtomicFile)
#include "test_atomic_file.moc"
