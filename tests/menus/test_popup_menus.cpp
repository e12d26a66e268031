// The popup menus: item states at each popping, deleting a file, saving the picture as a bitmap, and the
// questions asked before a save replaces a file or writes a bitmap far larger than its picture's file.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "pictures/bitmap_save.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"
#include "wmf_gen.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

void touch(const QString& path) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bitmap file the synchronous save wrote: the whole picture rasterised, then Qt's BMP writer.
QByteArray wholeBitmap(const Picture& picture) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  picture.toImage().save(&buffer, "BMP");
  return buffer.data();
}

// A metafile of `side` x `side` pixels whose shapes, lines, hatches and text cross the rows where the save's
// bands meet.
QByteArray crossingMetafile(int side) {
  wmf_gen::Builder b;
  b.createPen(0, 3, qRgb(200, 0, 0)).selectObject(b.lastSlot());
  b.createBrush(2, qRgb(0, 90, 200), 3).selectObject(b.lastSlot());  // a hatch
  b.ellipse(QRect(side / 8, side / 8, side * 3 / 4, side * 3 / 4));
  b.moveTo(0, 0).lineTo(side - 1, side - 7);
  b.createFont({.height = -48}).selectObject(b.lastSlot());
  for (int y = 0; y < side; y += 31) b.textOut(side / 10, y, "Bands meet here");
  return b.placeable(QRect(0, 0, side, side), 96);
}

// The process's peak resident memory is set to what it holds now; false where the system has no such reset.
bool resetPeakMemory() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

qint64 statusKiB(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
  return -1;
}

struct Opened {
  ProgramFixture fixture;
  QTemporaryDir folder;
  FrmMain* m = nullptr;
  FrmDummy* d = nullptr;

  Opened() {
    Program& program = fixture.start();
    m = program.frm_main();
    d = program.frm_dummy();
    program.frm_option()->setCheckValue(3, 0);  // selecting opens nothing unless a test asks
  }
  void enter(const QStringList& files) {
    for (const QString& name : files) touch(folder.filePath(name));
    QVERIFY(m->Dir->setPath(folder.path()));
    m->File->setPattern(QStringLiteral("*.*"));
  }
};

}  // namespace

class TestPopupMenus : public QObject {
  Q_OBJECT

 private slots:
  void favouritesMenuStates_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("newAndSave");
    QTest::newRow("empty") << 0 << -1 << false << false;
    QTest::newRow("entries, no selection") << 2 << -1 << false << true;
    QTest::newRow("entries, selection") << 2 << 1 << true << true;
  }

  void favouritesMenuStates() {
    QFETCH(int, entries);
    QFETCH(int, selected);
    QFETCH(bool, remove);
    QFETCH(bool, newAndSave);
    QByteArray list;
    for (int i = 0; i < entries; ++i) list += "/f/" + QByteArray::number(i) + ".wav\r\n";
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), list);
    Program& program = fixture.start();
    program.frm_option()->setCheckValue(3, 0);
    program.frm_main()->List->setCurrentRow(selected);
    // Stale states from an earlier popping must not survive.
    program.frm_dummy()->mnu_removelist->setEnabled(!remove);
    program.frm_dummy()->mnu_openlist->setEnabled(true);
    program.frm_main()->List_MouseDown(2, 0, 1, 1);
    QCOMPARE(fixture.poppedMenus.value(0), program.frm_dummy()->mnu_list);
    QCOMPARE(program.frm_dummy()->mnu_removelist->isEnabled(), remove);
    QCOMPARE(program.frm_dummy()->mnu_newlist->isEnabled(), newAndSave);
    QCOMPARE(program.frm_dummy()->mnu_savelist->isEnabled(), newAndSave);
    QVERIFY(program.frm_dummy()->mnu_openlist->isEnabled());
  }

  void pictureMenuOpenWithFollowsTheCurrentFile() {
    Opened o;
    o.m->cur_file.clear();
    o.m->Img_MouseDown(2, 0, 1, 1);
    QCOMPARE(o.fixture.poppedMenus.value(0), o.d->mnu_img);
    QVERIFY(!o.d->mnu_openwith->isEnabled());
    QVERIFY(o.d->mnu_paste->isEnabled());
    o.m->cur_file = QStringLiteral("/p/a.jpg");
    o.m->Img_MouseDown(2, 0, 1, 1);
    QVERIFY(o.d->mnu_openwith->isEnabled());
  }

  void deleteAsksAndDeletesOnOk_data() {
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("ok") << QMessageBox::Ok << true;
    QTest::newRow("cancel") << QMessageBox::Cancel << false;
  }

  void deleteAsksAndDeletesOnOk() {
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, deleted);
    Opened o;
    o.enter({QStringLiteral("a.wav"), QStringLiteral("b.wav")});
    o.m->File->setListIndex(1);
    o.fixture.messageBoxes->answers.push_back(answer);
    o.d->mnu_delete_Click();
    const QString path =
        QDir::toNativeSeparators(o.folder.path()) + QDir::separator() + QStringLiteral("b.wav");
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 1);
    const auto& call = o.fixture.messageBoxes->calls[0];
    QCOMPARE(call.prompt, QStringLiteral("Delete file ") + path + QStringLiteral("?"));
    QCOMPARE(call.title, QStringLiteral("Warning!!"));
    QCOMPARE(call.icon, QMessageBox::Warning);
    QCOMPARE(call.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(call.defaultButton, QMessageBox::Ok);
    QCOMPARE(QFile::exists(path), !deleted);
    QCOMPARE(o.m->File->ListCount(), deleted ? 1 : 2);
  }

  void deleteInChineseUsesTheChineseTexts() {
    Opened o;
    o.enter({QStringLiteral("a.wav")});
    o.fixture.program->setUseChinese(true);
    o.m->File->setListIndex(0);
    o.fixture.messageBoxes->answers.push_back(QMessageBox::Cancel);
    o.d->mnu_delete_Click();
    QVERIFY(o.fixture.messageBoxes->calls[0].prompt.startsWith(QStringLiteral("刪除 ")));
    QVERIFY(o.fixture.messageBoxes->calls[0].prompt.endsWith(QStringLiteral("？")));
    QCOMPARE(o.fixture.messageBoxes->calls[0].title, QStringLiteral("警告！！"));
  }

  void deleteOfAFileAlreadyGoneSaysWhyAndRefreshes() {
    Opened o;
    o.enter({QStringLiteral("a.wav"), QStringLiteral("b.wav")});
    o.m->File->setListIndex(0);
    QVERIFY(QFile::remove(o.folder.filePath(QStringLiteral("a.wav"))));
    o.d->mnu_delete_Click();  // OK is the default answer
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 2);
    QCOMPARE(o.fixture.messageBoxes->calls[1].icon, QMessageBox::Critical);
    QVERIFY(o.fixture.messageBoxes->calls[1].prompt.contains(QStringLiteral("a.wav")));
    QCOMPARE(o.m->File->ListCount(), 1);
    QCOMPARE(o.m->File->List(0), QStringLiteral("b.wav"));
  }

  void saveToBitmapWritesThePictureBack() {
    Opened o;
    const QImage source = picture_gen::Quadrants(QSize(40, 30));
    const QString jpeg = o.folder.filePath(QStringLiteral("q.bmp"));
    QVERIFY(picture_gen::WriteFile(jpeg, picture_gen::MakeBmp(source)));
    o.m->FileOpen(jpeg);
    QVERIFY(!o.m->Img->picture().isNull());
    const QString target = o.folder.filePath(QStringLiteral("saved"));
    o.fixture.fileDialogs->answers.push_back(target);
    QSignalSpy saved(o.d->bitmapSaver.get(), &BitmapSaver::saved);
    o.d->mnu_savebitmap_Click();
    QVERIFY(saved.wait(10000));
    QCOMPARE(o.fixture.fileDialogs->calls.size(), 1);
    QVERIFY(o.fixture.fileDialogs->calls[0].save);
    QCOMPARE(o.fixture.fileDialogs->calls[0].title, QStringLiteral("Save to a bitmap file"));
    QImageReader reader(target + QStringLiteral(".bmp"));
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(back, source.convertToFormat(QImage::Format_RGB32));
    QVERIFY(o.fixture.messageBoxes->calls.isEmpty());
  }

  void saveToBitmapWritesNothingOnCancelOrWithoutPicture() {
    Opened o;
    o.d->mnu_savebitmap_Click();  // cancelled: the fake dialog has no answer
    const QString target = o.folder.filePath(QStringLiteral("none.bmp"));
    o.fixture.fileDialogs->answers.push_back(target);
    o.d->mnu_savebitmap_Click();  // no picture shown
    QCOMPARE(o.d->bitmapSaver->pending(), 0);
    QVERIFY(!QFile::exists(target));
    QVERIFY(o.fixture.messageBoxes->calls.isEmpty());
  }

  // A metafile drawn far larger than it is stored is saved off the UI thread in bands: the window handles an
  // event posted before the save while the file is not yet there, memory grows by a band rather than by the
  // picture (64 MiB here), and the file is byte for byte what saving the whole rasterised picture gave.
  void bigMetafileIsSavedInBandsWhileTheWindowAnswers() {
    Opened o;
    const QString source = o.folder.filePath(QStringLiteral("big.wmf"));
    QVERIFY(picture_gen::WriteFile(source, crossingMetafile(4096)));
    o.m->FileOpen(source);
    QCOMPARE(o.m->Img->picture().size(), QSize(4096, 4096));
    const QString target = o.folder.filePath(QStringLiteral("big.bmp"));
    o.fixture.fileDialogs->answers.push_back(target);
    QSignalSpy saved(o.d->bitmapSaver.get(), &BitmapSaver::saved);
    bool answered = false;
    bool writtenBefore = true;
    QTimer::singleShot(0, o.m, [&] {
      answered = true;
      writtenBefore = QFile::exists(target);
    });
    const bool peakReset = resetPeakMemory();
    const qint64 before = statusKiB("VmHWM:");
    o.d->mnu_savebitmap_Click();
    QVERIFY(saved.wait(60000));
    const qint64 grown = statusKiB("VmHWM:") - before;
    QVERIFY(answered);
    QVERIFY(!writtenBefore);
    if (peakReset && before > 0)
      QVERIFY2(grown < 40 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(grown)));
    else
      qInfo("no peak memory to reset here: the memory is not looked at");
    QVERIFY(o.fixture.messageBoxes->calls.isEmpty());
    QCOMPARE(readAll(target), wholeBitmap(o.m->Img->picture()));
  }

  // Two saves, another picture opened between them, then the program closed before either is written: both
  // files come out whole, each of the picture shown when it was asked for, and no temporary file stays.
  void savesOutliveTheirPictureAndTheProgram() {
    QTemporaryDir out;
    QByteArray first;
    QByteArray second;
    {
      Opened o;
      const QString metafile = o.folder.filePath(QStringLiteral("m.wmf"));
      QVERIFY(picture_gen::WriteFile(metafile, crossingMetafile(4096)));
      const QString raster = o.folder.filePath(QStringLiteral("r.bmp"));
      QVERIFY(picture_gen::WriteFile(raster, picture_gen::MakeBmp(picture_gen::Quadrants(QSize(64, 48)))));
      o.m->FileOpen(metafile);
      first = wholeBitmap(o.m->Img->picture());
      o.fixture.fileDialogs->answers.push_back(out.filePath(QStringLiteral("first.bmp")));
      o.d->mnu_savebitmap_Click();
      o.m->FileOpen(raster);
      second = wholeBitmap(o.m->Img->picture());
      o.fixture.fileDialogs->answers.push_back(out.filePath(QStringLiteral("second.bmp")));
      o.d->mnu_savebitmap_Click();
      QVERIFY(o.d->bitmapSaver->pending() > 0);
      o.m->cmd_close_Click();
    }
    QCOMPARE(readAll(out.filePath(QStringLiteral("first.bmp"))), first);
    QCOMPARE(readAll(out.filePath(QStringLiteral("second.bmp"))), second);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("first.bmp"), QStringLiteral("second.bmp")}));
  }

  // An 80-byte metafile that claims 16384 x 16384 pixels would be an 805 MB bitmap: asked first, and No
  // writes nothing.
  void farLargerBitmapIsAskedFirst() {
    Opened o;
    const QString source = o.folder.filePath(QStringLiteral("claims.wmf"));
    QVERIFY(picture_gen::WriteFile(source, wmf_gen::Builder().placeable(QRect(0, 0, 32767, 32767), 96)));
    o.m->FileOpen(source);
    QCOMPARE(o.m->Img->picture().size(), QSize(16384, 16384));
    const QString target = o.folder.filePath(QStringLiteral("huge.bmp"));
    o.fixture.fileDialogs->answers.push_back(target);
    o.d->mnu_savebitmap_Click();  // No is the default answer
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 1);
    const auto& call = o.fixture.messageBoxes->calls[0];
    QCOMPARE(call.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(call.defaultButton, QMessageBox::No);
    QVERIFY(call.prompt.contains(target));
    QVERIFY(call.prompt.contains(QStringLiteral("805 MB")));
    QCOMPARE(o.d->bitmapSaver->pending(), 0);
    QVERIFY(!QFile::exists(target));
  }

  // A save over an existing file asks first, of the name with its extension added; No ends the command as a
  // cancelled dialog does, Yes replaces the file. In the interface's language.
  void replacingAFileIsAskedFirst_data() {
    QTest::addColumn<bool>("bitmap");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("list, no") << false << false << QMessageBox::No;
    QTest::newRow("list, yes, Chinese") << false << true << QMessageBox::Yes;
    QTest::newRow("bitmap, no, Chinese") << true << true << QMessageBox::No;
    QTest::newRow("bitmap, yes") << true << false << QMessageBox::Yes;
  }

  void replacingAFileIsAskedFirst() {
    QFETCH(bool, bitmap);
    QFETCH(bool, chinese);
    QFETCH(QMessageBox::StandardButton, answer);
    Opened o;
    o.fixture.program->setUseChinese(chinese);
    const QString picture = o.folder.filePath(QStringLiteral("p.bmp"));
    QVERIFY(picture_gen::WriteFile(picture, picture_gen::MakeBmp(picture_gen::Quadrants(QSize(8, 8)))));
    o.m->FileOpen(picture);
    o.m->replaceFavourites({picture});
    const QString target = o.folder.filePath(bitmap ? QStringLiteral("old.bmp") : QStringLiteral("old.lst"));
    QVERIFY(picture_gen::WriteFile(target, "old"));
    o.fixture.fileDialogs->answers.push_back(o.folder.filePath(QStringLiteral("old")));
    o.fixture.messageBoxes->answers.push_back(answer);
    QSignalSpy saved(o.d->bitmapSaver.get(), &BitmapSaver::saved);
    if (bitmap)
      o.d->mnu_savebitmap_Click();
    else
      QCOMPARE(o.d->saveList(),
               answer == QMessageBox::Yes ? FrmDummy::SaveResult::Saved : FrmDummy::SaveResult::Cancelled);
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 1);
    const auto& call = o.fixture.messageBoxes->calls[0];
    QCOMPARE(call.prompt, TextTables::noticeText(TextTables::Notice::ReplaceFile, chinese).arg(target));
    QCOMPARE(call.title, o.fixture.program->tables().msg(TextTables::MsgWarning, chinese));
    QCOMPARE(call.defaultButton, QMessageBox::No);
    if (answer == QMessageBox::No) {
      QCOMPARE(o.d->bitmapSaver->pending(), 0);
      QCOMPARE(readAll(target), QByteArray("old"));
      return;
    }
    if (bitmap) QVERIFY(saved.wait(10000));
    QCOMPARE(readAll(target),
             bitmap ? wholeBitmap(o.m->Img->picture()) : QFile::encodeName(picture) + QByteArray("\r\n"));
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 1);
  }
};

QTEST_MAIN(TestPopupMenus)
#include "test_popup_menus.moc"
