// The lists follow the disk while they show it: files and folders that appear or vanish show at once without
// moving the selection or opening anything, a folder that goes gives way to the nearest one above it, and a
// volume mounted while the program runs is in the drive box.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/list_chain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <algorithm>

namespace {

constexpr int kWaitMs = 5000;

bool touch(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly);
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

// A window's three lists, chained as the windows chain them.
struct Lists {
  DriveBox drive;
  DirList dir;
  FileList file;
  QString lastDrive;

  Lists() {
    QObject::connect(&drive, &DriveBox::Change, [this] { listchain::followDrive(drive, dir, lastDrive); });
    QObject::connect(&dir, &DirList::Change, [this] { listchain::followFolder(drive, dir, file); });
  }
  bool show(const QString& folder) {
    drive.setDrive(folder);
    lastDrive = drive.Drive();
    return dir.setPath(folder) && file.Path() == dir.Path();
  }
  bool at(const QString& folder) const {
    const QString native = QDir::toNativeSeparators(folder);
    return dir.Path() == native && file.Path() == native;
  }
};

bool driveListed(const DriveBox& box, const QString& root) {
  for (int i = 0; i < box.count(); ++i)
    if (box.itemText(i).startsWith(QDir::toNativeSeparators(root))) return true;
  return false;
}

}  // namespace

class TestFolderWatch : public QObject {
  Q_OBJECT

 private slots:
  void fileListFollowsTheFolder() {
    QTemporaryDir dir;
    QVERIFY(touch(dir.filePath(QStringLiteral("b.bmp"))));
    QVERIFY(touch(dir.filePath(QStringLiteral("d.bmp"))));
    FileList list;
    QVERIFY(list.setPath(dir.path()));
    list.setListIndex(1);
    QCOMPARE(list.FileName(), QStringLiteral("d.bmp"));
    QSignalSpy clicks(&list, &FileList::Click);

    QVERIFY(touch(dir.filePath(QStringLiteral("a.bmp"))));
    QTRY_COMPARE_WITH_TIMEOUT(list.ListCount(), 3, kWaitMs);
    QCOMPARE(entries(list), (QStringList{"a.bmp", "b.bmp", "d.bmp"}));
    QCOMPARE(list.FileName(), QStringLiteral("d.bmp"));  // the same file, at its new row
    QCOMPARE(list.ListIndex(), 2);

    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("d.bmp"))));
    QTRY_COMPARE_WITH_TIMEOUT(list.ListCount(), 2, kWaitMs);
    QCOMPARE(list.ListIndex(), -1);  // the selected file has gone: nothing is selected, nothing opened
    QVERIFY(clicks.isEmpty());
  }

  void folderListFollowsTheFolder() {
    QTemporaryDir dir;
    DirList list;
    QVERIFY(list.setPath(dir.path()));
    const int before = list.count();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("new folder")));
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), before + 1, kWaitMs);
    QCOMPARE(list.Path(), QDir::toNativeSeparators(dir.path()));
  }

  // The folder shown is deleted: the lists go to its parent, which no longer lists it; made again, it is
  // listed there again. An ancestor renamed: the nearest folder above that is still there.
  void listsFallBackWhenTheirFolderGoes() {
    QTemporaryDir top;
    QDir root(top.path());
    QVERIFY(root.mkpath(QStringLiteral("a/b/c")) && root.mkpath(QStringLiteral("p/q/r")));
    QVERIFY(touch(top.filePath(QStringLiteral("a/b/x.bmp"))));
    QVERIFY(touch(top.filePath(QStringLiteral("a/y.bmp"))));
    Lists lists;
    QVERIFY(lists.show(top.filePath(QStringLiteral("a/b"))));
    QCOMPARE(entries(lists.file), QStringList{"x.bmp"});

    QVERIFY(QDir(top.filePath(QStringLiteral("a/b"))).removeRecursively());
    QTRY_VERIFY_WITH_TIMEOUT(lists.at(top.filePath(QStringLiteral("a"))), kWaitMs);
    QVERIFY(!entries(lists.dir).contains(QStringLiteral("b")));
    QCOMPARE(entries(lists.file), QStringList{"y.bmp"});
    QVERIFY(root.mkpath(QStringLiteral("a/b")));
    QTRY_VERIFY_WITH_TIMEOUT(entries(lists.dir).contains(QStringLiteral("b")), kWaitMs);
    QVERIFY(lists.at(top.filePath(QStringLiteral("a"))));  // shown again, not gone back into

    QVERIFY(lists.show(top.filePath(QStringLiteral("p/q/r"))));
    QVERIFY(root.rename(QStringLiteral("p"), QStringLiteral("p2")));
    QTRY_VERIFY_WITH_TIMEOUT(lists.at(top.path()), kWaitMs);
    QVERIFY(!entries(lists.dir).contains(QStringLiteral("p")));
    QVERIFY(entries(lists.dir).contains(QStringLiteral("p2")));
  }

  // Entering a folder that has gone with the one shown, before any watch could tell: the lists land on the
  // nearest folder still there, never empty.
  void enteringAGoneFolderLandsOnOneThatIsThere() {
    QTemporaryDir top;
    QVERIFY(QDir(top.path()).mkpath(QStringLiteral("a/b/c")));
    QVERIFY(touch(top.filePath(QStringLiteral("a/y.bmp"))));
    Lists lists;
    QVERIFY(lists.show(top.filePath(QStringLiteral("a/b"))));
    lists.dir.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lists.dir));
    QVERIFY(QDir(top.filePath(QStringLiteral("a/b"))).removeRecursively());
    lists.dir.setCurrentRow(lists.dir.count() - 1);  // "c"
    QTest::keyClick(&lists.dir, Qt::Key_Return);
    QVERIFY(lists.at(top.filePath(QStringLiteral("a"))));
    QCOMPARE(entries(lists.file), QStringList{"y.bmp"});
  }

  // A file list whose folder goes and comes back (deleted and made again, or another folder renamed into
  // its place) lists the folder as it is then.
  void fileListFollowsItsFolderBack() {
    QTemporaryDir top;
    QDir root(top.path());
    QVERIFY(root.mkpath(QStringLiteral("f")));
    QVERIFY(touch(top.filePath(QStringLiteral("f/old.bmp"))));
    FileList list;
    QVERIFY(list.setPath(top.filePath(QStringLiteral("f"))));
    QCOMPARE(list.ListCount(), 1);
    QVERIFY(QDir(top.filePath(QStringLiteral("f"))).removeRecursively());
    QTRY_COMPARE_WITH_TIMEOUT(list.ListCount(), 0, kWaitMs);
    QVERIFY(root.mkpath(QStringLiteral("f")));
    QVERIFY(touch(top.filePath(QStringLiteral("f/back.bmp"))));
    QTRY_COMPARE_WITH_TIMEOUT(entries(list), QStringList{"back.bmp"}, kWaitMs);

    QVERIFY(root.mkpath(QStringLiteral("g")));
    QVERIFY(touch(top.filePath(QStringLiteral("g/new.bmp"))));
    QVERIFY(root.rename(QStringLiteral("f"), QStringLiteral("f.old")));
    QVERIFY(root.rename(QStringLiteral("g"), QStringLiteral("f")));
    QTRY_COMPARE_WITH_TIMEOUT(entries(list), QStringList{"new.bmp"}, kWaitMs);
    QVERIFY(touch(top.filePath(QStringLiteral("f/later.bmp"))));  // the folder now there is watched
    QTRY_COMPARE_WITH_TIMEOUT(list.ListCount(), 2, kWaitMs);
  }

  // A real volume (an ext2 image on a loop device) mounted while the box is up: it appears by itself, and
  // goes when it is unmounted; lists that showed a folder on it go to its mount point, on the volume holding
  // that. Where the test may not mount, skipped.
  void driveBoxFollowsTheMounts() {
#ifdef Q_OS_LINUX
    if (::geteuid() != 0) QSKIP("mounting needs root");
    const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.ext2"), {"/usr/sbin", "/sbin"});
    if (mkfs.isEmpty()) QSKIP("no mkfs.ext2");
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("stick.img"));
    const QString mountPoint = dir.filePath(QStringLiteral("stick"));
    QVERIFY(QDir().mkpath(mountPoint));
    {
      QFile file(image);
      QVERIFY(file.open(QIODevice::WriteOnly));
      QVERIFY(file.resize(4 * 1024 * 1024));
    }
    QCOMPARE(QProcess::execute(mkfs, {QStringLiteral("-q"), QStringLiteral("-F"), image}), 0);
    Lists lists;
    const DriveBox& box = lists.drive;
    QVERIFY(!driveListed(box, mountPoint));
    // No loop devices here: nothing to test with.
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint}) != 0)
      QSKIP("no loop mounts here");
    QTRY_VERIFY_WITH_TIMEOUT(driveListed(box, mountPoint), kWaitMs);
    const QString photos = mountPoint + QStringLiteral("/photos");
    QVERIFY(QDir().mkpath(photos));
    QVERIFY(lists.show(photos));
    QCOMPARE(box.Drive(), QDir::toNativeSeparators(mountPoint));
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    QTRY_VERIFY_WITH_TIMEOUT(!driveListed(box, mountPoint), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(lists.at(mountPoint), kWaitMs);
    // The drive now is a mounted volume that holds the mount point.
    const QString drive = QDir::fromNativeSeparators(box.Drive());
    QVERIFY2(drive != mountPoint && mountPoint.startsWith(drive), qPrintable(drive));
    const QList<DriveBox::Volume> volumes = DriveBox::browsableVolumes();
    QVERIFY(std::any_of(volumes.cbegin(), volumes.cend(),
                        [&drive](const DriveBox::Volume& volume) { return volume.root == drive; }));
#else
    QSKIP("mount table watching is for Linux");
#endif
  }
};

QTEST_MAIN(TestFolderWatch)
#include "test_folder_watch.moc"
