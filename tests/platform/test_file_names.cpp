// File names are bytes: a name that is not valid UTF-8 is listed, opened, played, deleted (into the trash)
// and kept in "default.lst" and list files with its exact bytes.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "media/mmcontrol.h"
#include "media_gen.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "platform/file_names.h"
#include "program_fixture.h"

#include <QDir>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kBadName =
    "bad\xff"
    "name.bmp";
const QByteArray kBig5Name = "\xa4\xa4\xa4\xe5.wav";  // two Chinese characters in Big5, not UTF-8
const QByteArray kBadFolder = "fold\xe9r";            // Latin-1

QByteArray bytesOf(const QString& path) {
  QFile file;
  if (!filenames::openForReading(file, path)) return {};
  return file.readAll();
}

// Removes what a QTemporaryDir cannot: names it would re-encode.
void removeTree(const QByteArray& path) {
  if (DIR* dir = ::opendir(path.constData())) {
    while (const dirent* entry = ::readdir(dir)) {
      const QByteArray name(entry->d_name);
      if (name == "." || name == "..") continue;
      const QByteArray child = path + '/' + name;
      struct stat st {};
      if (::lstat(child.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        removeTree(child);
      else
        ::unlink(child.constData());
    }
    ::closedir(dir);
  }
  ::rmdir(path.constData());
}

bool existsBytes(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0;
}

}  // namespace

class TestFileNames : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QByteArray root_;  // the folder's bytes

  // Writes a file under a byte name: made under a plain name by the generators, then renamed.
  bool place(const QByteArray& name, const std::function<bool(const QString&)>& make) {
    const QString plain = dir_.filePath(QStringLiteral("plain.tmp"));
    if (!make(plain)) return false;
    return ::rename(QFile::encodeName(plain).constData(), (root_ + '/' + name).constData()) == 0;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    root_ = QFile::encodeName(dir_.path());
    QVERIFY(place(kBadName, [](const QString& p) {
      return picture_gen::WriteFile(p, picture_gen::MakeBmp(picture_gen::Quadrants({40, 30})));
    }));
    QVERIFY(place(kBig5Name, [](const QString& p) { return !writeWav(p, 200).isEmpty(); }));
    QVERIFY(::mkdir((root_ + '/' + kBadFolder).constData(), 0755) == 0);
  }

  void cleanupTestCase() { removeTree(root_); }

  void namesRoundTripByteForByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain ASCII") << QByteArray("/music/a.wav");
    QTest::newRow("valid UTF-8") << QByteArray("/\xe4\xb8\xad\xe6\x96\x87/\xe5\x9c\x96.bmp");
    QTest::newRow("a stray byte") << kBadName;
    QTest::newRow("Big5") << kBig5Name;
    QTest::newRow("Shift-JIS") << QByteArray("\x83\x65\x83\x58\x83\x67.jpg");
    QTest::newRow("overlong slash") << QByteArray(
        "a\xc0\xaf"
        "b");
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80\xed\xb2\x80");
    QTest::newRow("cut sequence at the end") << QByteArray("name\xe4\xb8");
    QTest::newRow("past Unicode") << QByteArray("\xf4\x90\x80\x80");
  }

  void namesRoundTripByteForByte() {
    QFETCH(QByteArray, bytes);
    const QString name = filenames::decode(bytes);
    QCOMPARE(filenames::encode(name), bytes);
    // Valid UTF-8 decodes as Qt decodes it: only what does not decode is escaped.
    if (QString::fromUtf8(bytes).toUtf8() == bytes) QCOMPARE(name, QString::fromUtf8(bytes));
  }

  void listedOpenedAndEnteredByTheirBytes() {
    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(dir_.path()));
    QStringList names;
    for (int i = 0; i < m.File->ListCount(); ++i) names << m.File->List(i);
    QList<QByteArray> listed;
    for (const QString& name : names) listed << filenames::encode(name);
    QVERIFY(listed.contains(kBadName));
    QVERIFY(listed.contains(kBig5Name));

    // A click on the picture shows it (not the media path).
    m.File->setListIndex(int(listed.indexOf(kBadName)));
    QCOMPARE(filenames::encode(m.cur_file), root_ + '/' + kBadName);
    QVERIFY(!m.Timer->isActive());

    // The sound plays to its end.
    QSignalSpy done(m.MCI, &MMControl::Done);
    m.File->setListIndex(int(listed.indexOf(kBig5Name)));
    QVERIFY(m.Timer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 10000);
    QCOMPARE(done.first().first().toInt(), 1);

    // The folder of Latin-1 bytes can be entered.
    QVERIFY(m.Dir->setPath(filenames::decode(root_ + '/' + kBadFolder)));
    QCOMPARE(filenames::encode(m.File->Path()), root_ + '/' + kBadFolder);
  }

  void favouritesKeepTheirBytes() {
    const QByteArray lines = root_ + '/' + kBadName + "\r\n" + "/music/" + kBig5Name + "\r\n";
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), lines);
    Program& program = fixture.start();
    QCOMPARE(program.frm_main()->List->count(), 2);
    // Opened from the list, saved to a list file, written back at exit: the same bytes each time.
    program.frm_main()->List->setCurrentRow(0);
    program.frm_main()->List_Click();
    QCOMPARE(filenames::encode(program.frm_main()->cur_file), root_ + '/' + kBadName);
    const QString saved = dir_.filePath(QStringLiteral("saved.lst"));
    fixture.fileDialogs->answers.push_back(saved);
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(bytesOf(saved), lines);
    program.frm_main()->cmd_close_Click();
    QCOMPARE(fixture.readFile(QStringLiteral("default.lst")), lines);
  }

  void deleteMovesTheExactFileToTheTrash() {
    QTemporaryDir own;
    const QByteArray folder = QFile::encodeName(own.path());
    const QByteArray name = "gone\xfe.bmp";
    const QString plain = own.filePath(QStringLiteral("x.bmp"));
    QVERIFY(picture_gen::WriteFile(plain, picture_gen::MakeBmp(picture_gen::Quadrants({8, 8}))));
    QVERIFY(::rename(QFile::encodeName(plain).constData(), (folder + '/' + name).constData()) == 0);

    ProgramFixture fixture;
    FrmMain& m = *fixture.start().frm_main();
    QVERIFY(m.Dir->setPath(own.path()));
    QCOMPARE(m.File->ListCount(), 1);
    m.File->setListIndex(0);
    program(fixture).frm_dummy()->mnu_delete_Click();  // OK is the default answer
    QVERIFY(!existsBytes(folder + '/' + name));
    QCOMPARE(m.File->ListCount(), 0);
    const QByteArray trash = QFile::encodeName(fixture.dataHome()) + "/Trash";
    QVERIFY(existsBytes(trash + "/files/" + name));
    QFile info(QFile::decodeName(trash + "/info/") + filenames::decode(name) + QStringLiteral(".trashinfo"));
    QVERIFY(filenames::openForReading(info, info.fileName()) || info.open(QIODevice::ReadOnly));
    QVERIFY(info.readAll().contains("Path=" + (folder + '/' + name).toPercentEncoding("/")));
    removeTree(trash);

    // A plain name the same way: into the user's data folder, made when missing, never the current folder.
    QVERIFY(picture_gen::WriteFile(own.filePath(QStringLiteral("plain.bmp")),
                                   picture_gen::MakeBmp(picture_gen::Quadrants({8, 8}))));
    QVERIFY(QDir(fixture.dataHome()).removeRecursively());
    m.File->refresh();
    m.File->setListIndex(0);
    program(fixture).frm_dummy()->mnu_delete_Click();
    QVERIFY(!QFile::exists(own.filePath(QStringLiteral("plain.bmp"))));
    QVERIFY(QFile::exists(fixture.dataHome() + QStringLiteral("/Trash/files/plain.bmp")));
    QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("files"))));
  }

 private:
  static Program& program(ProgramFixture& fixture) { return *fixture.program; }
};

QTEST_MAIN(TestFileNames)
#include "test_file_names.moc"
