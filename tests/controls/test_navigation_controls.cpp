#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void touch(const QString& path) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QStringList entries(const FileList& list) {
  QStringList names;
  for (int i = 0; i < list.ListCount(); ++i) names << list.List(i);
  return names;
}

QStringList entries(const DirList& list) {
  QStringList names;
  for (int i = 0; i < list.count(); ++i) names << list.item(i)->text();
  return names;
}

QPoint rowCentre(const FileList& list, int row) {
  return list.visualRect(list.model()->index(row, 0)).center();
}

}  // namespace

class TestNavigationControls : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
  }

  void patternFilter_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    const QString allKnown = "*.bmp;*.dib;*.ico;*.cur;*.wmf;*.jpg;*.gif;*.wav;*.mid;*.avi;*.mov;*.mpg";
    QTest::newRow("all known formats") << allKnown << QStringList{"a.bmp", "B.BMP", "c.Jpg", "song.MID"};
    QTest::newRow("dat only when asked") << "*.dat" << QStringList{"d.dat"};
    QTest::newRow("upper-case pattern") << "*.BMP" << QStringList{"a.bmp", "B.BMP"};
    QTest::newRow("two types") << "*.jpg;*.dat" << QStringList{"c.Jpg", "d.dat"};
    QTest::newRow("spaces and empty parts") << " *.txt ; ;*.dat" << QStringList{"d.dat", "e.txt"};
    QTest::newRow("question mark") << "?.txt" << QStringList{"e.txt"};
    QTest::newRow("every file, also without a dot")
        << "*.*" << QStringList{"a.bmp", "B.BMP", "c.Jpg", "d.dat", "e.txt", "f", "g.bmp.bak", "song.MID"};
    QTest::newRow("no match") << "*.gif" << QStringList{};
  }
  void patternFilter() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    for (const char* name :
         {"a.bmp", "B.BMP", "c.Jpg", "d.dat", "e.txt", "f", "g.bmp.bak", "song.MID", ".h.bmp"})
      touch(m_dir.filePath(name));
    QVERIFY(QDir(m_dir.path()).mkdir("folder.bmp"));  // folders are never files
    FileList list;
    QVERIFY(list.setPath(m_dir.path()));
    list.setPattern(pattern);
    QCOMPARE(entries(list), expected);
    QCOMPARE(list.ListIndex(), -1);
  }

  void sortsIgnoringCase() {
    for (const char* name : {"b", "aB", "C10", "A", "a_b", "c9", "Zeta", "alpha"})
      touch(m_dir.filePath(name));
    FileList list;
    QVERIFY(list.setPath(m_dir.path()));
    QCOMPARE(entries(list), (QStringList{"A", "a_b", "aB", "alpha", "b", "c9", "C10", "Zeta"}));
  }

  // Numbers in names sort by their value, as people read them.
  void sortsNumbersByValue() {
    QStringList names{
        "img_10000.jpg", "img_9999.jpg", "img_2.jpg", "img_02.jpg", "img_10.jpg",
        "img_1a.jpg",    "img_.jpg",     "Img_3.jpg", "img_0.jpg",  "img_00000000000000000000001.jpg"};
    sortNames(names);
    QCOMPARE(names, (QStringList{"img_.jpg", "img_0.jpg", "img_00000000000000000000001.jpg", "img_1a.jpg",
                                 "img_2.jpg", "img_02.jpg", "Img_3.jpg", "img_10.jpg", "img_9999.jpg",
                                 "img_10000.jpg"}));
  }

  void listIndexRaisesClickOnChangeOnly() {
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) touch(m_dir.filePath(name));
    FileList list;
    QVERIFY(list.setPath(m_dir.path()));
    list.setPattern("*.bmp");
    QSignalSpy click(&list, &FileList::Click);
    list.setListIndex(1);
    QCOMPARE(click.count(), 1);  // synchronous, before the setter returns
    QCOMPARE(list.FileName(), QString("2.bmp"));
    list.setListIndex(1);
    QCOMPARE(click.count(), 1);
    for (int bad : {3, -2, 1000000, std::numeric_limits<int>::min()}) list.setListIndex(bad);
    QCOMPARE(list.ListIndex(), 1);
    list.setListIndex(-1);
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(list.FileName(), QString());
    QCOMPARE(click.count(), 1);
    list.setListIndex(2);
    QCOMPARE(click.count(), 2);
    QCOMPARE(list.List(7), QString());
    list.setPattern("*.bmp");  // the same pattern still lists again from no selection
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(click.count(), 2);
  }

  // A name too long for its row keeps its extension and the end of its stem, its number whole: numbered
  // files stay told apart. The whole name is the tool tip.
  void longNamesKeepTheirEnds() {
    const QStringList names{QStringLiteral("a_rather_long_picture_name_09999.bmp"),
                            QStringLiteral("a_rather_long_picture_name_19999.bmp"),
                            QStringLiteral("a_rather_long_picture_name_20000.jpeg")};
    for (const QString& name : names) touch(m_temp->filePath(name));
    FileList list;
    list.resize(113, 97);  // the main window's
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(list.setPath(m_temp->path()));
    QCOMPARE(entries(list), names);
    QStringList shown;
    for (int row = 0; row < names.size(); ++row) {
      shown << list.shownName(row);
      const QString& name = names[row];
      QVERIFY2(shown.last() != name, "the names are meant to be too long for the row");
      QVERIFY2(shown.last().endsWith(name.mid(name.lastIndexOf(QLatin1Char('_')) + 1)),
               qPrintable(shown.last()));
      QVERIFY(shown.last().startsWith(name.front()));
      QCOMPARE(list.model()->index(row, 0).data(Qt::ToolTipRole).toString(), name);
    }
    shown.removeDuplicates();
    QCOMPARE(shown.size(), names.size());
  }

  void setPathRefusals_data() {
    QTest::addColumn<QString>("path");
    // "@" stands for the test's folder.
    QTest::newRow("missing") << "@/missing";
    QTest::newRow("relative") << "relative/folder";
    QTest::newRow("a file") << "@/x.bmp";
    QTest::newRow("empty") << QString();
    QTest::newRow("NUL inside") << QString("@") + QChar(0) + "/sub";
  }
  void setPathRefusals() {
    QFETCH(QString, path);
    path.replace("@", m_dir.path());
    QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    touch(m_dir.filePath("sub/x.bmp"));
    touch(m_dir.filePath("x.bmp"));
    FileList files;
    QVERIFY(files.setPath(m_dir.filePath("sub")));
    files.setListIndex(0);
    QVERIFY(!files.setPath(path));
    QCOMPARE(files.Path(), QDir::toNativeSeparators(m_dir.filePath("sub")));
    QCOMPARE(files.FileName(), QString("x.bmp"));

    DirList dirs;
    QVERIFY(dirs.setPath(m_dir.path()));
    QSignalSpy change(&dirs, &DirList::Change);
    QVERIFY(!dirs.setPath(path));
    QCOMPARE(dirs.Path(), QDir::toNativeSeparators(m_dir.path()));
    QCOMPARE(change.count(), 0);
  }

  void refreshKeepsSelectionByName() {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) touch(m_dir.filePath(name));
    FileList list;
    QVERIFY(list.setPath(m_dir.path()));
    list.setListIndex(2);
    QSignalSpy click(&list, &FileList::Click);
    QVERIFY(QFile::remove(m_dir.filePath("a.bmp")));
    list.refresh();
    QCOMPARE(list.ListCount(), 2);
    QCOMPARE(list.FileName(), QString("c.bmp"));
    QCOMPARE(list.ListIndex(), 1);
    QVERIFY(QFile::remove(m_dir.filePath("c.bmp")));
    list.refresh();
    QCOMPARE(list.ListIndex(), -1);  // never past the end
    QCOMPARE(click.count(), 0);

    QVERIFY(QDir(m_dir.path()).removeRecursively());  // the folder itself goes
    list.refresh();
    QCOMPARE(list.ListCount(), 0);
    list.setPattern("*.*");
    QCOMPARE(list.ListCount(), 0);
  }

  void oddNamesAndLinks() {
    touch(m_dir.filePath("line\nbreak.bmp"));
    touch(m_dir.filePath(QString(250, QChar(0x00e9)).left(120) + ".bmp"));
#ifdef Q_OS_UNIX
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const int fd = ::open((folder + "/bad\xff\xfe.bmp").constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    QVERIFY(::mkfifo((folder + "/pipe.bmp").constData(), 0644) == 0);
    QVERIFY(QFile::link(m_dir.filePath("line\nbreak.bmp"), m_dir.filePath("link.bmp")));
    QVERIFY(QFile::link(m_dir.filePath("gone"), m_dir.filePath("dangling.bmp")));
#endif
    FileList list;
    QVERIFY(list.setPath(m_dir.path()));
    list.setPattern("*.bmp");
#ifdef Q_OS_UNIX
    QCOMPARE(list.ListCount(), 4);  // no fifo, no dangling link
    QVERIFY(entries(list).contains("link.bmp"));
#endif
    for (int i = 0; i < list.ListCount(); ++i) list.setListIndex(i);
    QVERIFY(!list.FileName().isEmpty());
#ifdef Q_OS_UNIX
    ::unlink((folder + "/bad\xff\xfe.bmp").constData());  // a name QDir could not remove
#endif
  }

  void unreadableFolder() {
#ifdef Q_OS_UNIX
    QVERIFY(QDir(m_dir.path()).mkdir("locked"));
    const QString locked = m_dir.filePath("locked");
    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0) == 0);
    const bool bites = ::access(QFile::encodeName(locked).constData(), R_OK) != 0;
    FileList files;
    DirList dirs;
    if (bites) {
      QVERIFY(!files.setPath(locked));
      QVERIFY(!dirs.setPath(locked));
    }
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    if (!bites) QSKIP("running with rights that read any folder");
#else
    QSKIP("permission bits are a Unix matter");
#endif
  }

  void mousePresses() {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) touch(m_dir.filePath(name));
    FileList list;
    list.resize(113, 97);
    QVERIFY(list.setPath(m_dir.path()));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QSignalSpy click(&list, &FileList::Click);
    QSignalSpy down(&list, &FileList::MouseDown);
    QSignalSpy dbl(&list, &FileList::DblClick);

    QTest::mousePress(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(list, 1));
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(list, 1));
    QCOMPARE(list.ListIndex(), 1);
    QCOMPARE(click.count(), 1);
    QCOMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).toInt(), 1);

    QTest::mousePress(list.viewport(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier,
                      rowCentre(list, 2));
    QTest::mouseRelease(list.viewport(), Qt::RightButton, Qt::NoModifier, rowCentre(list, 2));
    QCOMPARE(list.ListIndex(), 1);
    QCOMPARE(click.count(), 1);
    QCOMPARE(down.count(), 2);
    QCOMPARE(down.at(1).at(0).toInt(), 2);
    QCOMPARE(down.at(1).at(1).toInt(), 3);

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(list, 2));
    QCOMPARE(list.ListIndex(), 2);
    QCOMPARE(click.count(), 2);
    QCOMPARE(dbl.count(), 1);
  }

  void keyboardNavigation() {
    for (int i = 0; i < 20; ++i) touch(m_dir.filePath(QString("%1.bmp").arg(i, 2, 10, QChar('0'))));
    FileList list;
    list.resize(113, 97);
    QVERIFY(list.setPath(m_dir.path()));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setFocus();  // the view makes a row current on focus, without selecting it
    QSignalSpy click(&list, &FileList::Click);
    QTest::keyClick(&list, Qt::Key_Down);  // from no selection: the first entry
    QCOMPARE(list.ListIndex(), 0);
    QCOMPARE(click.count(), 1);
    list.setListIndex(-1);
    QTest::keyClick(&list, Qt::Key_End);
    QCOMPARE(list.ListIndex(), 19);
    list.setListIndex(0);
    click.clear();
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.ListIndex(), 1);
    QCOMPARE(click.count(), 1);
    QTest::keyClick(&list, Qt::Key_End);
    QCOMPARE(list.ListIndex(), 19);
    QTest::keyClick(&list, Qt::Key_Down);  // already at the end: nothing new selected
    QCOMPARE(click.count(), 2);
    QTest::keyClick(&list, Qt::Key_PageUp);
    QVERIFY(list.ListIndex() < 19 && list.ListIndex() >= 0);
    QTest::keyClick(&list, Qt::Key_Home);
    QCOMPARE(list.ListIndex(), 0);
    QCOMPARE(click.count(), 4);
  }

  void dirListShowsAncestorsThenSubfolders() {
    QDir top(m_dir.path());
    QVERIFY(top.mkpath("outer/inner/b") && top.mkpath("outer/inner/A") && top.mkpath("outer/inner/.hid"));
    touch(m_dir.filePath("outer/inner/file.txt"));
    const QString inner = m_dir.filePath("outer/inner");
    DirList dirs;
    QSignalSpy change(&dirs, &DirList::Change);
    QVERIFY(dirs.setPath(inner + "/"));
    QCOMPARE(change.count(), 1);
    QCOMPARE(dirs.Path(), QDir::toNativeSeparators(inner));
    QVERIFY(dirs.setPath(inner));
    QCOMPARE(change.count(), 1);

    const QStringList shown = entries(dirs);
    const QStringList parts = QDir::cleanPath(inner).split('/', Qt::SkipEmptyParts);
    QCOMPARE(shown.size(), parts.size() + 1 + 2);
    QCOMPARE(shown.first(), QDir::toNativeSeparators(QDir::rootPath()));
    QCOMPARE(shown.mid(shown.size() - 4), (QStringList{"outer", "inner", "A", "b"}));
    QCOMPARE(dirs.highlightedPath(), QDir::toNativeSeparators(inner));
  }

  // The lists start in the working folder but read it only when nothing else was asked for by the time the
  // event loop comes round; whichever folder they end up in is watched.
  void startInTheWorkingFolderUnlessGivenAnother() {
    QDir top(m_dir.path());
    QVERIFY(top.mkpath("given/sub") && top.mkpath("work/other"));
    const QString given = m_dir.filePath("given");
    const QString work = m_dir.filePath("work");
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work));
    const auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    {
      DirList dirs;
      FileList files;
      QVERIFY(dirs.setPath(given));
      QVERIFY(files.setPath(given));
      dirs.show();
      QCoreApplication::processEvents();
      QCOMPARE(dirs.Path(), QDir::toNativeSeparators(given));
      QCOMPARE(entries(dirs).last(), QStringLiteral("sub"));
      QVERIFY(top.mkpath("given/new"));
      touch(m_dir.filePath("given/new.txt"));
      QTRY_VERIFY_WITH_TIMEOUT(entries(dirs).contains("new"), 5000);
      QTRY_VERIFY_WITH_TIMEOUT(entries(files).contains("new.txt"), 5000);
    }
    {
      DirList dirs;
      QTRY_VERIFY_WITH_TIMEOUT(entries(dirs).contains("other"), 5000);
      QCOMPARE(dirs.Path(), QDir::toNativeSeparators(work));
      QVERIFY(top.mkpath("work/later"));
      QTRY_VERIFY_WITH_TIMEOUT(entries(dirs).contains("later"), 5000);
    }
    {
      // Told the working folder itself.
      DirList dirs;
      FileList files;
      QVERIFY(dirs.setPath(work));
      QVERIFY(files.setPath(work));
      QVERIFY(top.mkpath("work/third"));
      touch(m_dir.filePath("work/third.txt"));
      QTRY_VERIFY_WITH_TIMEOUT(entries(dirs).contains("third"), 5000);
      QTRY_VERIFY_WITH_TIMEOUT(entries(files).contains("third.txt"), 5000);
    }
  }

  void dirListOpensWithEnterAndDoubleClick() {
    QDir top(m_dir.path());
    QVERIFY(top.mkpath("p/q") && top.mkpath("p/r"));
    DirList dirs;
    dirs.resize(101, 96);
    QVERIFY(dirs.setPath(m_dir.filePath("p")));
    dirs.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dirs));
    QSignalSpy change(&dirs, &DirList::Change);

    dirs.setCurrentRow(dirs.count() - 1);  // "r"
    QTest::keyClick(&dirs, Qt::Key_Return);
    QCOMPARE(dirs.Path(), QDir::toNativeSeparators(m_dir.filePath("p/r")));
    QCOMPARE(change.count(), 1);
    QCOMPARE(dirs.highlightedPath(), dirs.Path());

    const int parentRow = dirs.currentRow() - 1;
    QTest::mouseDClick(dirs.viewport(), Qt::LeftButton, Qt::NoModifier,
                       dirs.visualItemRect(dirs.item(parentRow)).center());
    QCOMPARE(dirs.Path(), QDir::toNativeSeparators(m_dir.filePath("p")));
    QCOMPARE(change.count(), 2);

    QVERIFY(QDir(m_dir.filePath("p/q")).removeRecursively());  // gone before it is opened
    dirs.setCurrentRow(dirs.count() - 2);
    QTest::keyClick(&dirs, Qt::Key_Enter);
    QCOMPARE(change.count(), 2);
    QCOMPARE(entries(dirs).last(), QString("r"));
    QVERIFY(!entries(dirs).contains("q"));
  }

  void dirListEnterBeatsShortcuts() {
    QVERIFY(QDir(m_dir.path()).mkdir("sub"));
    QWidget window;
    QAction enter(&window);
    enter.setShortcut(Qt::Key_Return);
    window.addAction(&enter);
    QSignalSpy shortcut(&enter, &QAction::triggered);
    auto* dirs = new DirList(&window);
    QVERIFY(dirs->setPath(m_dir.path()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    dirs->setFocus();
    dirs->setCurrentRow(dirs->count() - 1);
    QTest::keyClick(dirs, Qt::Key_Return);
    QCOMPARE(dirs->Path(), QDir::toNativeSeparators(m_dir.filePath("sub")));
    QCOMPARE(shortcut.count(), 0);
  }

  void driveBox() {
    DriveBox box;
    QVERIFY(box.count() > 0);
    QSignalSpy change(&box, &DriveBox::Change);
    const QString holding = QStorageInfo(m_dir.path()).rootPath();
    box.setDrive(m_dir.path());
    const QString drive = QDir::fromNativeSeparators(box.Drive());
    QVERIFY2(m_dir.path().startsWith(drive), qPrintable(drive));
    if (box.findData(holding) >= 0) QCOMPARE(drive, holding);
#ifdef Q_OS_UNIX
    if (holding == "/") QCOMPARE(box.Drive(), QString("/"));
#endif
    const int before = change.count();
    box.setDrive(drive);
    box.refresh();
    QCOMPARE(change.count(), before);

    const int entriesBefore = box.count();
    const QString gone = m_dir.filePath("no-such-volume");
    box.setDrive(gone);  // accepted, so that the caller's folder change can fail and fall back
    QCOMPARE(box.Drive(), QDir::toNativeSeparators(gone));
    QCOMPARE(change.count(), before + 1);
    QCOMPARE(box.count(), entriesBefore + 1);

    box.setCurrentIndex(0);  // as the user's pick
    QCOMPARE(box.Drive(), QDir::toNativeSeparators(box.itemData(0).toString()));
    QCOMPARE(change.count(), before + 2);
    QCOMPARE(box.count(), entriesBefore);
  }

 private:
  // A fresh folder per test; m_dir names it.
  std::unique_ptr<QTemporaryDir> m_temp;
  struct {
    const TestNavigationControls* self;
    QString path() const { return self->m_temp->path(); }
    QString filePath(const QString& name) const { return self->m_temp->filePath(name); }
  } m_dir{this};
};

QTEST_MAIN(TestNavigationControls)
#include "test_navigation_controls.moc"
