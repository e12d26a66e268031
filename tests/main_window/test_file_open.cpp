// Opening files in the main window: pictures by content, everything else to the media control, the
// clipboard, "Open with" through the launcher, and hostile files that must end on the media path.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "media_gen.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "platform/file_names.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

using namespace picture_gen;

namespace {

QStringList sent(const QSignalSpy& spy) {
  QStringList commands;
  for (const auto& args : spy) commands << args.at(0).toString();
  return commands;
}

QByteArray Patched(QByteArray data, int offset, const QByteArray& bytes) {
  data.replace(offset, bytes.size(), bytes);
  return data;
}

QByteArray le32(qint32 v) {
  QByteArray b(4, '\0');
  qToLittleEndian(v, b.data());
  return b;
}

QByteArray le16(quint16 v) {
  QByteArray b(2, '\0');
  qToLittleEndian(v, b.data());
  return b;
}

QString sizeText(QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); }

// What the picture pane shows, to tell whether an operation left it alone.
struct PaneState {
  qint64 pictureKey = 0;
  QSize pictureSize;
  QRect imgGeometry;
  bool stretch = false;
  QString curFile;
  QString size;
  double picWidth = 0;
  int picHeight = 0;

  static PaneState of(const FrmMain& m) {
    return {m.Img->picture().toImage().cacheKey(),
            m.Img->picture().size(),
            m.Img->geometry(),
            m.Img->Stretch,
            m.cur_file,
            m.lb_size->text(),
            m.pic_width,
            m.pic_height};
  }
  bool operator==(const PaneState&) const = default;
};

void verifyPictureMode(const FrmMain& m, QSize natural) {
  QVERIFY(!m.Timer->isActive());
  QCOMPARE(m.Slider->maximum(), 40);
  QCOMPARE(m.Slider->value(), 10);
  QCOMPARE(m.Slider->tickPosition(), QSlider::TicksBelow);
  QCOMPARE(m.lb_percent->text(), QStringLiteral("100%"));
  QCOMPARE(m.lb_size->text(), sizeText(natural));
  QCOMPARE(m.Img->picture().size(), natural);
  QCOMPARE(m.Img->geometry(), QRect(QPoint(0, 0), natural));
  QVERIFY(m.Img->Stretch);
  QCOMPARE(m.pic_width, double(natural.width()));
  QCOMPARE(m.pic_height, natural.height());
}

void verifyMediaMode(const FrmMain& m, const QString& path, const QSignalSpy& commands) {
  QVERIFY(m.Timer->isActive());
  QVERIFY(m.HS->isHidden());
  QVERIFY(m.VS->isHidden());
  QCOMPARE(m.Slider->maximum(), 1000);
  QCOMPARE(m.Slider->tickPosition(), QSlider::NoTicks);
  QCOMPARE(m.MCI->fileName(), path);
  QCOMPARE(m.MCI->deviceType(), QString());
  const QStringList commandsSent = sent(commands);
  QVERIFY2(commandsSent.endsWith(QStringLiteral("Play")) &&
               commandsSent.mid(commandsSent.size() - 2) == (QStringList{"Open", "Play"}),
           qPrintable(commandsSent.join(',')));
}

// The event loop still turns: a queued call runs within a bounded wait.
bool eventLoopTurns() {
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  for (int i = 0; i < 100 && !ran; ++i) QTest::qWait(10);
  return ran;
}

}  // namespace

class TestFileOpen : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = QDir::toNativeSeparators(dir_.filePath(name));
    return WriteFile(path, bytes) ? path : QString();
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    // Damaged files make Qt's decoders complain; that is what these tests feed them.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
  }

  void cleanup() { QGuiApplication::clipboard()->clear(); }

  void dispatchByContent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("picture");  // invalid: the media path
    const QImage q = Quadrants({64, 48});
    QTest::newRow("bmp") << "a.bmp" << MakeBmp(q) << QSize(64, 48);
    QTest::newRow("bmp 8 bits rle") << "a.bmp"
                                    << MakeBmp(q, {.bitsPerPixel = 8, .compression = BmpCompression::Rle8})
                                    << QSize(64, 48);
    QTest::newRow("dib without file header") << "a.dib" << MakeBmp(q, {.fileHeader = false}) << QSize(64, 48);
    QTest::newRow("ico, the largest image")
        << "a.ico" << MakeIcon({{Quadrants({16, 16}), 8}, {Quadrants({48, 48}), 32}}) << QSize(48, 48);
    QTest::newRow("cur") << "a.cur" << MakeIcon({{Quadrants({32, 32}), 24}}, true) << QSize(32, 32);
    QTest::newRow("jpeg") << "a.jpg" << MakeJpeg(q) << QSize(64, 48);
    QTest::newRow("jpeg progressive") << "a.jpg" << MakeJpeg(q, {.progressive = true}) << QSize(64, 48);
    QTest::newRow("jpeg turned by exif") << "a.jpg" << MakeJpeg(q, {.exifOrientation = 6}) << QSize(48, 64);
    QTest::newRow("gif") << "a.gif" << MakeGif({{q}}) << QSize(64, 48);
    QTest::newRow("gif named .jpg") << "gif.jpg" << MakeGif({{q}}) << QSize(64, 48);
    QTest::newRow("bmp without extension") << "picture" << MakeBmp(q) << QSize(64, 48);
    QTest::newRow("text file") << "notes.txt" << QByteArray("just some words\r\n") << QSize();
    QTest::newRow("text named .bmp") << "text.bmp" << QByteArray("BMP? no, text\r\n") << QSize();
    QTest::newRow("png") << "a.png" << MakePng(q) << QSize(64, 48);
    QTest::newRow("tiff named .avi") << "a.avi" << MakeWithQt(q, "tiff") << QSize(64, 48);
    QTest::newRow("svg") << "a.svg" << MakeSvg("<circle cx='32' cy='24' r='20'/>", "64", "48")
                         << QSize(64, 48);
    QTest::newRow("zero bytes") << "empty.jpg" << QByteArray() << QSize();
  }

  void dispatchByContent() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, picture);
    const QString path = write(name, bytes);
    QVERIFY(!path.isEmpty());
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.FileOpen(path);
    if (picture.isValid()) {
      verifyPictureMode(m, picture);
      QCOMPARE(m.cur_file, path);
      QVERIFY(commands.isEmpty());
    } else {
      verifyMediaMode(m, path, commands);
      QVERIFY(m.cur_file.isEmpty());
      QCOMPARE(m.lb_size->text(), QStringLiteral("0x0"));
    }
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
  }

  void mediaPlays() {
    const QString wav = writeWav(dir_.filePath(QStringLiteral("tone.wav")), 1500);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.FileOpen(wav);
    verifyMediaMode(m, wav, commands);
    QVERIFY(!commands.contains(QVariantList{QStringLiteral("Close")}));
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
  }

  // The slider in media mode may stand far above the picture range; the natural size must still be taken
  // from the new picture, not from a zoom the range change set off.
  void pictureWhileMediaPlays_data() {
    QTest::addColumn<int>("mediaSlider");
    QTest::addColumn<bool>("pictureBefore");
    QTest::newRow("slider at 0") << 0 << false;
    QTest::newRow("slider at 10") << 10 << false;
    QTest::newRow("slider at 700") << 700 << false;
    QTest::newRow("slider at 700, a picture shown before") << 700 << true;
    QTest::newRow("slider at 1000, a picture shown before") << 1000 << true;
  }

  void pictureWhileMediaPlays() {
    QFETCH(int, mediaSlider);
    QFETCH(bool, pictureBefore);
    const QString wav = writeWav(dir_.filePath(QStringLiteral("tone.wav")), 1500);
    const QString first = write(QStringLiteral("first.bmp"), MakeBmp(Quadrants({30, 20})));
    const QString second = write(QStringLiteral("second.jpg"), MakeJpeg(Quadrants({120, 90})));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    if (pictureBefore) m.FileOpen(first);
    m.FileOpen(wav);
    QVERIFY(m.Timer->isActive());
    m.Slider->setValue(mediaSlider);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.FileOpen(second);
    QCOMPARE(sent(commands), QStringList{QStringLiteral("Close")});
    verifyPictureMode(m, QSize(120, 90));
    QCOMPARE(m.cur_file, second);
  }

  void mediaAfterPictureKeepsThePicture() {
    const QString picture = write(QStringLiteral("big.bmp"), MakeBmp(Quadrants({500, 400})));
    const QString text = write(QStringLiteral("notes.txt"), "not a picture");
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(picture);
    m.Slider->setValue(25);
    m.HS->setValue(30);
    const PaneState before = PaneState::of(m);
    QCOMPARE(before.imgGeometry, QRect(-30, 0, 1250, 1000));
    m.FileOpen(text);
    QVERIFY(PaneState::of(m) == before);
    QVERIFY(m.Timer->isActive());
    // "Open with" still names the picture.
    m.OpenWith();
    QCOMPARE(fixture.launcher->openedFiles, QStringList{picture});
  }

  void paste_data() {
    QTest::addColumn<QImage>("clipboard");  // null: text only
    QTest::addColumn<bool>("clearClipboard");
    QTest::newRow("picture") << Quadrants({70, 30}) << false;
    QTest::newRow("picture wider than the pane") << Quadrants({500, 30}) << false;
    QTest::newRow("text only") << QImage() << false;
    QTest::newRow("empty clipboard") << QImage() << true;
  }

  void paste() {
    QFETCH(QImage, clipboard);
    QFETCH(bool, clearClipboard);
    const QString picture = write(QStringLiteral("shown.gif"), MakeGif({{Quadrants({40, 40})}}));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(picture);
    m.Slider->setValue(30);
    if (clearClipboard)
      QGuiApplication::clipboard()->clear();
    else if (clipboard.isNull())
      QGuiApplication::clipboard()->setText(QStringLiteral("words, no picture"));
    else
      QGuiApplication::clipboard()->setImage(clipboard);

    m.Paste();
    QVERIFY(m.cur_file.isEmpty());
    QCOMPARE(m.Slider->value(), 10);
    QCOMPARE(m.lb_percent->text(), QStringLiteral("100%"));
    QCOMPARE(m.Img->pos(), QPoint(0, 0));
    if (clipboard.isNull()) {
      QVERIFY(m.Img->picture().isNull());
      QCOMPARE(m.Img->size(), QSize(0, 0));
      QCOMPARE(m.lb_size->text(), QStringLiteral("0x0"));
      QVERIFY(m.HS->isHidden());
    } else {
      QCOMPARE(m.Img->picture().size(), clipboard.size());
      QCOMPARE(m.Img->size(), clipboard.size());
      QCOMPARE(m.lb_size->text(), sizeText(clipboard.size()));
      QCOMPARE(m.Img->picture().toImage().pixel(5, 5), clipboard.pixel(5, 5));
      QCOMPARE(m.HS->isVisible(), clipboard.width() > m.border->width());
    }
    QVERIFY(fixture.messageBoxes->calls.isEmpty());

    // Nothing to open with now.
    m.Img_MouseDown(2, 0, 1, 1);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{fixture.program->frm_dummy()->mnu_img});
    QVERIFY(!fixture.program->frm_dummy()->mnu_openwith->isEnabled());
    m.OpenWith();
    QVERIFY(fixture.launcher->openedFiles.isEmpty());
  }

  void pasteInMediaModeKeepsTheMedia() {
    const QString wav = writeWav(dir_.filePath(QStringLiteral("tone.wav")), 1500);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(wav);
    QGuiApplication::clipboard()->setImage(Quadrants({20, 10}));
    m.Slider->setValue(10);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.Paste();
    QVERIFY(m.Timer->isActive());
    // Nothing closed, and the slider standing where it stood is no seek.
    QCOMPARE(sent(commands), QStringList());
    QCOMPARE(m.Slider->maximum(), 1000);
    QCOMPARE(m.Slider->value(), 10);
    QCOMPARE(m.lb_size->text(), QStringLiteral("20x10"));
    QCOMPARE(m.Img->size(), QSize(20, 10));
  }

  void openWith_data() {
    QTest::addColumn<QString>("curFile");
    QTest::addColumn<QString>("launched");  // empty: nothing launched
    QTest::addColumn<QString>("kept");      // cur_file afterwards
    QTest::newRow("none") << ""
                          << ""
                          << "";
    QTest::newRow("spaces only") << "   "
                                 << ""
                                 << "";
    QTest::newRow("spaces around") << "  /pics/a b.jpg "
                                   << "/pics/a b.jpg"
                                   << "/pics/a b.jpg";
    QTest::newRow("a tab is part of the name") << "/pics/a.jpg\t"
                                               << "/pics/a.jpg\t"
                                               << "/pics/a.jpg\t";
    QTest::newRow("quotes kept") << "/pics/\"x\".jpg"
                                 << "/pics/\"x\".jpg"
                                 << "/pics/\"x\".jpg";
  }

  void openWith() {
    QFETCH(QString, curFile);
    QFETCH(QString, launched);
    QFETCH(QString, kept);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.cur_file = curFile;
    m.OpenWith();
    QCOMPARE(fixture.launcher->openedFiles, launched.isEmpty() ? QStringList() : QStringList{launched});
    QCOMPARE(m.cur_file, kept);
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
  }

  // Names a shell would act on are handed over as they are, and the picture opened from them is the one
  // launched.
  void openWithShellCharacters_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("semicolon") << "a;touch pwned.jpg";
    QTest::newRow("command substitution") << "$(id).jpg";
    QTest::newRow("backticks and pipes") << "`id`|cat&&x>y.jpg";
    QTest::newRow("quotes and globs") << "it's \"*\" ?.jpg";
  }

  void openWithShellCharacters() {
    QFETCH(QString, name);
    const QString path = write(name, MakeJpeg(Quadrants({16, 16})));
    QVERIFY(!path.isEmpty());
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(path);
    QCOMPARE(m.cur_file, path);
    m.Img_MouseDown(2, 0, 1, 1);
    QVERIFY(fixture.program->frm_dummy()->mnu_openwith->isEnabled());
    m.OpenWith();
    QCOMPARE(fixture.launcher->openedFiles, QStringList{path});
    QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("pwned.jpg"))));
  }

  // The real launcher, with a stand-in opener first on PATH that records the arguments it was given: the
  // name arrives whole, percent-escaped, in one argument, and nothing a shell would have run ran.
  void openWithRealOpener_data() { openWithShellCharacters_data(); }

  void openWithRealOpener() {
    QFETCH(QString, name);
    const QString path = write(name, MakeJpeg(Quadrants({16, 16})));
    QVERIFY(!path.isEmpty());
    QTemporaryDir bin;
    const QString recorded = bin.filePath(QStringLiteral("argv"));
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write(
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.part\"\nmv \"$0.part\" '" +
        QFile::encodeName(recorded) + "'\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + oldPath);
    const auto restorePath = qScopeGuard([&oldPath] { qputenv("PATH", oldPath); });

    ProgramFixture fixture;
    Program& program = fixture.start();
    program.seams.launcher.reset();
    program.seams.fillDefaults();  // the desktop's launcher
    FrmMain& m = *program.frm_main();
    m.FileOpen(path);
    m.OpenWith();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(recorded), 10000);
    QFile argv(recorded);
    QVERIFY(argv.open(QIODevice::ReadOnly));
    QCOMPARE(argv.readAll(), filenames::fileUrl(path).toEncoded() + '\n');
    for (const QString& folder : {dir_.path(), QDir::currentPath(), bin.path()})
      QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("pwned.jpg"))));
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
  }

  void openWithFailureWarns() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    fixture.launcher->succeed = false;
    FrmMain& m = *program.frm_main();
    m.cur_file = QStringLiteral("/pics/gone.jpg");
    for (bool chinese : {false, true}) {
      program.setUseChinese(chinese);
      fixture.messageBoxes->calls.clear();
      m.OpenWith();
      QCOMPARE(fixture.messageBoxes->calls.size(), 1);
      const FakeMessageBoxes::Call call = fixture.messageBoxes->calls.first();
      QCOMPARE(call.icon, QMessageBox::Critical);
      QCOMPARE(call.title, QStringLiteral("Warning!!"));
      QCOMPARE(call.prompt, QStringLiteral("An error occur when open with this picture!!"));
      QCOMPARE(call.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(m.cur_file, QStringLiteral("/pics/gone.jpg"));

    // A launch that starts but opens nothing (no program for the type) is a failure too, told when the
    // opener says so; a launch that opens something says nothing.
    fixture.launcher->succeed = true;
    fixture.messageBoxes->calls.clear();
    m.OpenWith();
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
    QVERIFY(fixture.launcher->failLater);
    fixture.launcher->failLater();
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    QCOMPARE(fixture.messageBoxes->calls.first().prompt,
             QStringLiteral("An error occur when open with this picture!!"));
  }

  // The desktop's own launcher, with a stand-in for the desktop's opener on the PATH that finds no program
  // for the type: its exit status makes the launch a failure, told once it ends. The file goes as its
  // address.
  void desktopLauncherReportsAnOpenerThatOpensNothing() {
#ifdef Q_OS_UNIX
    QTemporaryDir bin;
    const QString opener = bin.filePath(QStringLiteral("xdg-open"));
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$1\" > \"$0.arg\"\nexit 3\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    Seams seams;
    seams.fillDefaults();
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("a b.jpg"));
    QVERIFY(picture_gen::WriteFile(picture, picture_gen::MakeJpeg(picture_gen::Quadrants({8, 8}))));
    int told = 0;
    QVERIFY(seams.launcher->openFile(picture, [&] { ++told; }));
    QTRY_COMPARE_WITH_TIMEOUT(told, 1, 10000);
    qputenv("PATH", path);
    QFile arg(opener + QStringLiteral(".arg"));
    QVERIFY(arg.open(QIODevice::ReadOnly));
    QCOMPARE(arg.readAll().trimmed(), QUrl::fromLocalFile(picture).toEncoded());
#else
    QSKIP("the desktop's opener is for Unix desktops");
#endif
  }

  // Hostile or broken files: none is a picture, so each goes to the media control, the picture shown
  // before stays, and the program goes on running.
  void badInputGoesToMedia_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QImage q = Quadrants({22, 14});
    const QByteArray bmp = MakeBmp(q);
    constexpr int kWidth = 18, kBits = 28, kCompression = 30;
    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\x02\x03\x04 not a known signature", 26).repeated(100);
    QTest::newRow("bmp magic only") << QByteArray("BM");
    QTest::newRow("bmp headers only") << bmp.left(54);
    QTest::newRow("bmp 100000x100000") << Patched(bmp, kWidth, le32(100000) + le32(100000));
    QTest::newRow("bmp above 256 megapixels") << Patched(bmp, kWidth, le32(16385) + le32(16384));
    QTest::newRow("bmp 7 bits") << Patched(bmp, kBits, le16(7));
    QTest::newRow("bmp unknown compression") << Patched(bmp, kCompression, le32(9));
    const QByteArray dib = MakeBmp(q, {.fileHeader = false});
    QTest::newRow("dib headers only") << dib.left(40);
    QTest::newRow("dib 100000x100000") << Patched(dib, kWidth - 14, le32(100000) + le32(100000));

    const QByteArray ico = MakeIcon({{Quadrants({32, 32}), 32}});
    const int entry = 6;
    const int image = 6 + 16;
    QTest::newRow("ico directory only") << ico.left(image);
    QTest::newRow("ico 100000x100000")
        << Patched(Patched(ico, entry, QByteArray(2, '\0')), image + 4, le32(100000) + le32(200000));
    QTest::newRow("ico offset beyond the end") << Patched(ico, entry + 12, le32(0x7fffffff));
    QTest::newRow("ico png 100000x100000") << Patched(MakeIcon({{Quadrants({32, 32}), 32, true}}), image + 16,
                                                      QByteArray("\0\x01\x86\xa0\0\x01\x86\xa0", 8));
    const QByteArray cur = MakeIcon({{Quadrants({32, 32}), 24}}, true);
    QTest::newRow("cur truncated in its header") << cur.left(image + 20);

    const QByteArray jpeg = MakeJpeg(Quadrants({32, 32}));
    const int sof = int(jpeg.indexOf("\xFF\xC0"));
    QTest::newRow("jpeg soi only") << jpeg.left(2);
    QTest::newRow("jpeg cut before its frame") << jpeg.left(sof);
    QTest::newRow("jpeg 65535x65535") << Patched(jpeg, sof + 5, QByteArray("\xff\xff\xff\xff", 4));

    const QByteArray gif = MakeGif({{q}});
    QTest::newRow("gif header only") << gif.left(13);
    QTest::newRow("gif huge screen") << Patched(gif, 6, le16(65535) + le16(65535));
    QTest::newRow("gif without frame") << QByteArray("GIF89a\x0a\0\x0a\0\0\0\0;", 14);
  }

  void badInputGoesToMedia() {
    QFETCH(QByteArray, bytes);
    // Named as a picture, so that nothing but the content decides.
    const QString path = write(QStringLiteral("bad.jpg"), bytes);
    const QString shown = write(QStringLiteral("shown.bmp"), MakeBmp(Quadrants({40, 30})));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(shown);
    const PaneState before = PaneState::of(m);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.FileOpen(path);
    verifyMediaMode(m, path, commands);
    QVERIFY(PaneState::of(m) == before);
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
    QVERIFY(eventLoopTurns());
    // And a good picture still opens afterwards.
    m.FileOpen(shown);
    verifyPictureMode(m, QSize(40, 30));
  }

  void directoriesAndMissingFilesGoToMedia_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << QDir::toNativeSeparators(dir_.filePath(QStringLiteral("no such.bmp")));
    QTest::newRow("a folder") << QDir::toNativeSeparators(dir_.path());
    QTest::newRow("empty path") << QString();
  }

  void directoriesAndMissingFilesGoToMedia() {
    QFETCH(QString, path);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    m.FileOpen(path);
    verifyMediaMode(m, path, commands);
    QVERIFY(m.cur_file.isEmpty());
    QVERIFY(eventLoopTurns());
  }

  // A folder of today's files clicked one by one with the slideshow on: every picture shows at its natural
  // size and starts nothing; a movie of one still frame fails where it is; only the sound plays, and its end
  // steps to the next entry, a picture again.
  void todaysPicturesInASlideshow() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QList<std::pair<QString, QByteArray>> pictures = {
        {"a.png", MakePng(Quadrants({64, 48}))},
        {"b.webp", MakeWithQt(Quadrants({60, 40}), "webp")},
        {"c.tiff", MakeWithQt(Quadrants({50, 30}), "tiff", QImageIOHandler::TransformationRotate90)},
        {"d.svg", MakeSvg("<circle cx='35' cy='17' r='15'/>", "70", "35")},
        {"e.avif", MakeHeif(Quadrants({64, 32}), {.codec = HeifCodec::Av1})},
        {"f.heic", MakeHeif(Quadrants({64, 48}), {.orientation = 6})},
        {"g.jxl", MakeJxl(Quadrants({40, 24}))},
    };
    const QStringList sizes = {"64x48", "60x40", "30x50", "70x35", "64x32", "48x64", "40x24"};
    for (const auto& [name, bytes] : pictures) {
      QVERIFY2(!bytes.isEmpty(), qPrintable(name));
      QVERIFY(WriteFile(folder.filePath(name), bytes));
    }
    QVERIFY(!writeMkv(folder.filePath(QStringLiteral("h.mkv")), Mkv::Jpeg, 40).isEmpty());
    QVERIFY(!writeWav(folder.filePath(QStringLiteral("i.wav")), 300).isEmpty());

    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    program.frm_option()->setCheckValue(0, 1);  // slideshow
    program.frm_option()->setCheckValue(1, 0);  // no loop
    program.frm_option()->setCheckValue(3, 1);  // auto play when clicked
    QVERIFY(m.Dir->setPath(folder.path()));
    m.File->setPattern(QStringLiteral("*.*"));
    QCOMPARE(m.File->ListCount(), 9);
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QSignalSpy done(m.MCI, &MMControl::Done);
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    const auto click = [&m](int row) {
      m.File->scrollTo(m.File->model()->index(row, 0));
      QTest::mouseClick(m.File->viewport(), Qt::LeftButton, {},
                        m.File->visualRect(m.File->model()->index(row, 0)).center());
    };

    for (int row = 0; row < int(pictures.size()); ++row) {
      click(row);
      QTRY_COMPARE_WITH_TIMEOUT(m.lb_size->text(), sizes[row], 10000);
      QCOMPARE(m.File->ListIndex(), row);
      QCOMPARE(m.cur_file, folder.filePath(pictures[row].first));
      QVERIFY(!m.Timer->isActive());
    }
    QVERIFY2(!sent(commands).contains(QStringLiteral("Open")), qPrintable(sent(commands).join(',')));

    click(7);  // the movie of one still frame
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, 15000);
    QCOMPARE(done.at(0).at(0).toInt(), 8);
    QVERIFY(!commands.wait(500));  // nothing else is started
    QCOMPARE(m.File->ListIndex(), 7);
    QCOMPARE(sent(commands).count(QStringLiteral("Open")), 1);

    click(8);  // the sound plays to its end, then the slideshow brings up the first entry
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 15000);
    QCOMPARE(done.at(1).at(0).toInt(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m.lb_size->text(), sizes[0], 10000);
    QCOMPARE(m.File->ListIndex(), 0);
    QVERIFY(!commands.wait(500));
    QCOMPARE(sent(commands).count(QStringLiteral("Open")), 2);
  }

  // A picture wider than a million pixels still reads as digits in the size label.
  void sizeLabelOfAVeryWidePicture() {
    QImage wide(1'200'000, 1, QImage::Format_RGB32);
    wide.fill(Qt::red);
    const QString path = write(QStringLiteral("wide.bmp"), MakeBmp(wide, {.bitsPerPixel = 24}));
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.FileOpen(path);
    QCOMPARE(m.lb_size->text(), QStringLiteral("1200000x1"));
    QCOMPARE(m.HS->maximum(), 32767);
  }
};

QTEST_MAIN(TestFileOpen)
#include "test_file_open.moc"
