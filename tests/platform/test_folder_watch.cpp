// The lists follow the disk while they show it: files and folders that appear or vanish show at once without
// moving the selection or opening anything, and a volume mounted while the program runs is in the drive box.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"

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

  // A real volume (an ext2 image on a loop device) mounted while the box is up: it appears by itself, and
  // goes when it is unmounted. Where the test may not mount, skipped.
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
    DriveBox box;
    QVERIFY(!driveListed(box, mountPoint));
    // No loop devices here: nothing to test with.
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("loop"), image, mountPoint}) != 0)
      QSKIP("no loop mounts here");
    QTRY_VERIFY_WITH_TIMEOUT(driveListed(box, mountPoint), kWaitMs);
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    QTRY_VERIFY_WITH_TIMEOUT(!driveListed(box, mountPoint), kWaitMs);
#else
    QSKIP("mount table watching is for Linux");
#endif
  }
};

QTEST_MAIN(TestFolderWatch)
#include "test_folder_watch.moc"
