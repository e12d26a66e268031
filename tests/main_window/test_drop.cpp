// Files from the desktop: addresses of a drop taken apart byte for byte, a drop on the main window showing
// the file's folder and opening it as a click would, refused drops changing nothing, the command line.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "media_gen.h"
#include "picture_gen.h"
#include "platform/dropped_files.h"
#include "platform/file_names.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file by the exact bytes of its name (QFile would re-encode a name that is not UTF-8).
bool writeRaw(const QByteArray& path, const QByteArray& bytes) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
  ::close(fd);
  return written;
}

QByteArray bmp(int width, int height) {
  return picture_gen::MakeBmp(picture_gen::Quadrants({width, height}));
}

QByteArray fileUri(const QByteArray& path) { return "file://" + path.toPercentEncoding("/"); }

QMimeData* uriList(const QByteArray& list) {
  auto* data = new QMimeData;
  data->setData(QStringLiteral("text/uri-list"), list);
  return data;
}

struct Dropped {
  bool entered = false;
  bool dropped = false;
  Qt::DropAction action = Qt::IgnoreAction;
};

// What a file manager's drag does to the window: enter, a move, the drop, delivered as the window system
// delivers them.
Dropped dropOn(FrmMain& m, QMimeData& data,
               Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  const QPoint at(m.width() / 2, m.height() / 2);
  QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&m, &enter);
  QDragMoveEvent move(at + QPoint(3, 3), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&m, &move);
  QDropEvent drop(QPointF(at + QPoint(3, 3)), offered, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&m, &drop);
  return {enter.isAccepted(), drop.isAccepted(), drop.dropAction()};
}

// Everything a drop may change.
struct Shown {
  QString drive, folder, files, pattern, selected, curFile, size;
  int filter = -1;
  bool media = false;
  bool operator==(const Shown&) const = default;
};

Shown shown(const FrmMain& m) {
  return {m.Drive->Drive(),   m.Dir->Path(), m.File->Path(),    m.File->Pattern(),
          m.File->FileName(), m.cur_file,    m.lb_size->text(), m.cmb_filter->currentIndex(),
          m.Timer->isActive()};
}

}  // namespace

class TestDrop : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  QByteArray bytes(const char* name) const { return QFile::encodeName(folder_.path()) + '/' + name; }

 private slots:
  void initTestCase() {
    // Three names that a decoding which replaces what is not UTF-8 would confuse: é as a Latin-1 byte, é in
    // UTF-8, and the replacement character itself. Each picture has its own size.
    QVERIFY(writeRaw(bytes("\xe9t\xe9.bmp"), bmp(51, 21)));
    QVERIFY(writeRaw(bytes("\xc3\xa9t\xc3\xa9.bmp"), bmp(62, 12)));
    QVERIFY(writeRaw(bytes("\xef\xbf\xbdt\xef\xbf\xbd.bmp"), bmp(73, 7)));
    QVERIFY(writeRaw(bytes("plain name.bmp"), bmp(40, 30)));
    QVERIFY(writeRaw(bytes("picture.bin"), bmp(33, 44)));  // a bitmap no file type lists
    QVERIFY(writeRaw(bytes(".hidden.bmp"), bmp(17, 19)));
    QVERIFY(!writeWav(folder_.filePath("tone.wav"), 300).isEmpty());
    QVERIFY(QDir(folder_.path()).mkdir("sub"));
    QVERIFY(::mkfifo(bytes("pipe.bmp").constData(), 0600) == 0);
  }

  void cleanupTestCase() {
    // QTemporaryDir removes by decoded names, which miss the ones that are not UTF-8.
    for (const char* name : {"\xe9t\xe9.bmp", "\xc3\xa9t\xc3\xa9.bmp", "\xef\xbf\xbdt\xef\xbf\xbd.bmp"})
      ::unlink(bytes(name).constData());
  }

  void addresses_data() {
    QTest::addColumn<QByteArray>("uri");
    QTest::addColumn<QByteArray>("path");  // empty: refused
    QTest::newRow("file:///") << QByteArray("file:///tmp/a%20b.bmp") << QByteArray("/tmp/a b.bmp");
    QTest::newRow("localhost, any case") << QByteArray("FILE://LocalHost/x.wav") << QByteArray("/x.wav");
    QTest::newRow("Latin-1 byte") << QByteArray("file:///t/%E9.bmp") << QByteArray("/t/\xe9.bmp");
    QTest::newRow("fragment is no name") << QByteArray("file:///t/v.bmp#page") << QByteArray("/t/v.bmp");
    QTest::newRow("remote") << QByteArray("https://example.com/a.bmp") << QByteArray();
    QTest::newRow("other machine") << QByteArray("file://elsewhere.invalid/a.bmp") << QByteArray();
    QTest::newRow("relative") << QByteArray("file:a.bmp") << QByteArray();
    QTest::newRow("escaped NUL") << QByteArray("file:///t/a%00.bmp") << QByteArray();
  }

  void addresses() {
    QFETCH(QByteArray, uri);
    QFETCH(QByteArray, path);
    const auto local = droppedfiles::localPath(uri);
    if (path.isEmpty()) {
      QVERIFY(!local);
    } else {
      QVERIFY(local);
      QCOMPARE(filenames::encode(*local), path);
    }
  }

  void uriListsAndArguments() {
    // RFC 2483: CR LF, comments; a remote address is passed over, and so is the excess of a huge list.
    QCOMPARE(droppedfiles::uriList("# from a file manager\r\nhttp://x/y\r\nfile:///a\r\n\r\nfile:///b\n"),
             (QStringList{"/a", "/b"}));
    QByteArray huge;
    for (int i = 0; i < 10000; ++i) huge += "https://example.com/" + QByteArray::number(i) + "\r\n";
    huge += "file:///late\r\n";
    QVERIFY(droppedfiles::uriList(huge).isEmpty());

    QCOMPARE(droppedfiles::argument("pics/a.bmp", "/home/u"), QString("/home/u/pics/a.bmp"));
    QCOMPARE(droppedfiles::argument("file:///d%20e.bmp", "/home/u"), QString("/d e.bmp"));
    QCOMPARE(filenames::encode(droppedfiles::argument("\xe9.bmp", "/h")), QByteArray("/h/\xe9.bmp"));
  }

  void dropShowsAndOpensExactlyThatFile_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("size");
    QTest::newRow("Latin-1 é") << QByteArray("\xe9t\xe9.bmp") << "51x21";
    QTest::newRow("UTF-8 é") << QByteArray("\xc3\xa9t\xc3\xa9.bmp") << "62x12";
    QTest::newRow("U+FFFD itself") << QByteArray("\xef\xbf\xbdt\xef\xbf\xbd.bmp") << "73x7";
    QTest::newRow("a space") << QByteArray("plain name.bmp") << "40x30";
  }

  void dropShowsAndOpensExactlyThatFile() {
    QFETCH(QByteArray, name);
    QFETCH(QString, size);
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    m.from_favourites = true;
    const QByteArray path = bytes(name.constData());
    std::unique_ptr<QMimeData> data(uriList("file:///nowhere/gone.bmp\r\n" + fileUri(path) + "\r\n"));

    const Dropped result = dropOn(m, *data);
    QVERIFY(result.entered);
    QVERIFY(result.dropped);
    // Proposed or not, a move would have the file manager delete what it dropped.
    QCOMPARE(result.action, Qt::CopyAction);
    QCOMPARE(m.Dir->Path(), QDir::toNativeSeparators(folder_.path()));
    QCOMPARE(m.Drive->Drive(), m.cur_drive);
    QCOMPARE(filenames::encode(m.File->FileName()), name);
    // Opened by the click handling: the picture, its exact path, and the file list to step through.
    QCOMPARE(filenames::encode(m.cur_file), path);
    QCOMPARE(m.lb_size->text(), size);
    QVERIFY(!m.from_favourites);
    QCOMPARE(m.cmb_filter->currentIndex(), 2);

    // Dropped again while selected: opened again, as a click on it would.
    m.cur_file.clear();
    QVERIFY(dropOn(m, *data).dropped);
    QCOMPARE(filenames::encode(m.cur_file), path);
  }

  void dropKinds() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);

    // A type the box does not list: all files are listed, and the box says so.
    std::unique_ptr<QMimeData> other(uriList(fileUri(bytes("picture.bin"))));
    QVERIFY(dropOn(m, *other).dropped);
    QCOMPARE(m.cmb_filter->currentIndex(), 1);
    QCOMPARE(m.File->FileName(), QString("picture.bin"));
    QCOMPARE(m.lb_size->text(), QString("33x44"));

    // A file made after its folder was listed is there at once, before the folder's watch would tell.
    QVERIFY(writeRaw(bytes("fresh.bmp"), bmp(9, 8)));
    std::unique_ptr<QMimeData> fresh(uriList(fileUri(bytes("fresh.bmp"))));
    QVERIFY(dropOn(m, *fresh).dropped);
    QCOMPARE(m.File->FileName(), QString("fresh.bmp"));
    QCOMPARE(m.lb_size->text(), QString("9x8"));

    // A hidden file is never listed, but opens.
    std::unique_ptr<QMimeData> hidden(uriList(fileUri(bytes(".hidden.bmp"))));
    QVERIFY(dropOn(m, *hidden).dropped);
    QCOMPARE(m.File->ListIndex(), -1);
    QCOMPARE(m.lb_size->text(), QString("17x19"));

    // A folder is shown, nothing in it opened.
    const Shown before = shown(m);
    std::unique_ptr<QMimeData> folder(uriList(fileUri(bytes("sub"))));
    QVERIFY(dropOn(m, *folder).dropped);
    QCOMPARE(m.Dir->Path(), QDir::toNativeSeparators(folder_.filePath("sub")));
    QCOMPARE(m.File->ListIndex(), -1);
    QCOMPARE(m.cur_file, before.curFile);
    QVERIFY(commands.isEmpty());

    // A sound plays, as after a click.
    std::unique_ptr<QMimeData> sound(uriList(fileUri(bytes("tone.wav"))));
    QVERIFY(dropOn(m, *sound).dropped);
    QCOMPARE(m.File->FileName(), QString("tone.wav"));
    QCOMPARE(commands.last().at(0).toString(), QString("Play"));
    QVERIFY(m.Timer->isActive());

    // With "Auto play when click" off the drop only selects, as a click only would.
    program.frm_option()->setCheckValue(3, 0);
    std::unique_ptr<QMimeData> picture(uriList(fileUri(bytes("plain name.bmp"))));
    commands.clear();
    const QString shownFile = m.cur_file;
    QVERIFY(dropOn(m, *picture).dropped);
    QCOMPARE(m.File->FileName(), QString("plain name.bmp"));
    QVERIFY(commands.isEmpty());
    QCOMPARE(m.cur_file, shownFile);
  }

  void refusedDropsChangeNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("text") << "text";
    QTest::newRow("remote address") << "remote";
    QTest::newRow("vanished file") << "vanished";
    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("source only moves") << "move";
    QTest::newRow("preferences up") << "preferences";
    QTest::newRow("full screen up") << "full screen";
  }

  void refusedDropsChangeNothing() {
    QFETCH(QString, kind);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.show();
    QSignalSpy commands(m.MCI, &MMControl::commandSent);
    const QByteArray picture = fileUri(bytes("plain name.bmp"));
    std::unique_ptr<QMimeData> data(uriList(picture));
    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    if (kind == "text") {
      data = std::make_unique<QMimeData>();
      data->setText(QString::fromLocal8Bit(bytes("plain name.bmp")));
    } else if (kind == "remote") {
      data.reset(uriList("https://example.com/a.bmp\r\nsftp://host/" + bytes("plain name.bmp") + "\r\n"));
    } else if (kind == "vanished") {
      data.reset(uriList(fileUri(bytes("gone.bmp"))));
    } else if (kind == "pipe") {
      data.reset(uriList(fileUri(bytes("pipe.bmp"))));
    } else if (kind == "move") {
      offered = Qt::MoveAction;
    } else if (kind == "preferences") {
      program.frm_option()->show();
      program.frm_option()->Form_Activate();
    } else {
      program.frm_full()->show();
      program.frm_full()->Form_Activate();
    }
    QVERIFY(kind != "preferences" && kind != "full screen" ? m.isEnabled() : !m.isEnabled());
    const Shown before = shown(m);

    const Dropped result = dropOn(m, *data, offered);
    QVERIFY(!result.entered);
    QVERIFY(!result.dropped);
    QVERIFY(shown(m) == before);
    QVERIFY(commands.isEmpty());
  }

  void noControlTakesTheDrop() {
    // The window system hands a drop to the innermost widget under the pointer that accepts drops: none of
    // the controls may, or a drop on the file list or the picture would go nowhere.
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    for (int y = 1; y < m.height(); y += 7) {
      for (int x = 1; x < m.width(); x += 7) {
        QWidget* target = m.childAt(x, y);
        while (target && target != &m && !target->acceptDrops()) target = target->parentWidget();
        if (target && target != &m)
          QFAIL(qPrintable(QStringLiteral("%1 takes drops").arg(target->metaObject()->className())));
      }
    }
    QVERIFY(m.acceptDrops());
  }

  void commandLineFileShownAtStart() {
    // "Open with": the first argument that exists is shown once the program has started.
    ProgramFixture fixture;
    const QByteArray name("\xe9t\xe9.bmp");
    fixture.startFiles = {QStringLiteral("/nowhere/missing.bmp"),
                          droppedfiles::argument(name, QDir::toNativeSeparators(folder_.path())),
                          QDir::toNativeSeparators(folder_.filePath("plain name.bmp"))};
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.isVisible());
    QCOMPARE(m.Dir->Path(), QDir::toNativeSeparators(folder_.path()));
    QCOMPARE(filenames::encode(m.File->FileName()), name);
    QCOMPARE(m.lb_size->text(), QString("51x21"));
  }
};

QTEST_MAIN(TestDrop)
#include "test_drop.moc"
