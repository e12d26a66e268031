// The settings file: ten lines written byte for byte, read back field by field, and every way a file can be
// short, damaged or from another machine.
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using Checks = QList<int>;

const Checks kDesignChecks{1, 1, 0, 1, 1, 1, 1};

// The folder the table's files name: it has a comma and a space, which line 1 must keep.
QString tableFolder(const ProgramFixture& fixture) { return fixture.appDir() + QStringLiteral("live, 2001"); }

QByteArray file(const QList<QByteArray>& lines, const QByteArray& end = "\r\n") {
  QByteArray bytes;
  for (const QByteArray& line : lines) bytes += line + end;
  return bytes;
}

// Every value differs from the design state, so each one shows whether it was read.
const QList<QByteArray> kFull{"%F", " 0 ", " 0 ", " 1 ", " 0 ", " 0 ", " 0 ", " 0 ", "False", "True"};
const Checks kFullChecks{0, 0, 1, 0, 0, 0, 0};

Checks checks(const Program& program) {
  Checks values;
  for (int i = 0; i < 7; ++i) values << program.frm_option()->CheckValue(i);
  return values;
}

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT

 private slots:
  void savedFileIsByteForByte() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    const QString folder = tableFolder(fixture);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(program.frm_main()->Dir->setPath(folder));
    program.SaveSettings();
    QCOMPARE(
        fixture.readFile(QStringLiteral("glview3.ini")),
        QFile::encodeName(folder) + "\r\n 1 \r\n 1 \r\n 0 \r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\nTrue\r\nFalse\r\n");
  }

  void savedStateLoadsBackTheSame() {
    ProgramFixture first;
    Program& saver = first.start();
    const QString folder = tableFolder(first);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(saver.frm_main()->Dir->setPath(folder));
    const Checks values{0, 1, 1, 0, 2, 0, 1};
    for (int i = 0; i < 7; ++i) QVERIFY(saver.frm_option()->setCheckValue(i, values[i]));
    saver.frm_option()->setOption1Value(false);
    saver.setUseChinese(true);
    saver.SaveSettings();
    const QByteArray bytes = first.readFile(QStringLiteral("glview3.ini"));
    QVERIFY(bytes.contains("\r\n 2 \r\n"));

    ProgramFixture second;
    second.writeFile(QStringLiteral("glview3.ini"), bytes);
    Program& loader = second.start();
    QCOMPARE(checks(loader), values);
    QVERIFY(!loader.frm_option()->Option1Value());
    QVERIFY(loader.frm_option()->Option2->isChecked());
    QVERIFY(loader.use_chinese());
    QCOMPARE(loader.frm_main()->Dir->Path(), folder);
    QVERIFY(folder.startsWith(loader.frm_main()->Drive->Drive()));
    QVERIFY(!loader.frm_option()->CMD_Apply->isEnabled());
    loader.SaveSettings();
    QCOMPARE(second.readFile(QStringLiteral("glview3.ini")), bytes);
  }

  void damagedFiles_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("content");  // "%F" stands for the table's folder
    QTest::addColumn<bool>("folder");
    QTest::addColumn<Checks>("expectedChecks");
    QTest::addColumn<bool>("shortcuts");
    QTest::addColumn<bool>(
        "chinese");  // the splash takes it from line 10 on its own, before the full reading
    const auto L = kFull;
    QTest::newRow("no file") << false << QByteArray() << false << kDesignChecks << true << false;
    QTest::newRow("0 bytes") << true << QByteArray() << false << kDesignChecks << true << false;
    QTest::newRow("folder only") << true << file(L.mid(0, 1)) << true << kDesignChecks << true << false;
    QTest::newRow("seven lines") << true << file(L.mid(0, 7)) << true << Checks{0, 0, 1, 0, 0, 0, 1} << true
                                 << false;
    QTest::newRow("nine lines") << true << file(L.mid(0, 9)) << true << kFullChecks << false << false;
    QTest::newRow("ten lines") << true << file(L) << true << kFullChecks << false << true;
    QTest::newRow("twelve lines") << true << file(L + QList<QByteArray>{"junk", " 5 "}) << true << kFullChecks
                                  << false << true;
    QTest::newRow("last line without its end")
        << true << file(L).chopped(2) << true << kFullChecks << false << true;
    QTest::newRow("CR only") << true << file(L, "\r") << true << kFullChecks << false << true;
    QTest::newRow("garbage in line 4") << true << file(L.mid(0, 3) + QList<QByteArray>{"abc"} + L.mid(4))
                                       << true << Checks{0, 0, 0, 1, 1, 1, 1} << true << true;
    QTest::newRow("negative number") << true << file(L.mid(0, 2) + QList<QByteArray>{"-1"} + L.mid(3)) << true
                                     << Checks{0, 1, 0, 1, 1, 1, 1} << true << true;
    QTest::newRow("number out of range") << true << file(L.mid(0, 2) + QList<QByteArray>{" 3 "} + L.mid(3))
                                         << true << Checks{0, 1, 0, 1, 1, 1, 1} << true << true;
    QTest::newRow("greyed value 2") << true << file(L.mid(0, 1) + QList<QByteArray>{" 2 "} + L.mid(2)) << true
                                    << Checks{2, 0, 1, 0, 0, 0, 0} << false << true;
    QTest::newRow("blank option line") << true << file(L.mid(0, 5) + QList<QByteArray>{""} + L.mid(6)) << true
                                       << Checks{0, 0, 1, 0, 1, 1, 1} << true << false;
    QTest::newRow("Booleans in any case") << true << file(L.mid(0, 8) + QList<QByteArray>{"FALSE", "tRuE"})
                                          << true << kFullChecks << false << true;
    QTest::newRow("Booleans as numbers")
        << true << file(L.mid(0, 8) + QList<QByteArray>{" 0 ", "-1"}) << true << kFullChecks << false << true;
    QTest::newRow("language garbage")
        << true << file(L.mid(0, 9) + QList<QByteArray>{"yes"}) << true << kFullChecks << false << false;
    QTest::newRow("commas end fields as line ends do")
        << true << file({"%F", " 0 , 0,1", "0 ,0", " 0, 0", "False ,True"}) << true << kFullChecks << false
        << true;
    QTest::newRow("trailing comma gives an empty field")
        << true << file({"%F", "0,", "0"}) << true << Checks{0, 1, 0, 1, 1, 1, 1} << true << false;
    QTest::newRow("binary junk") << true << QByteArray("\0\xff\r\r\n\x01,\x02", 8) << false << kDesignChecks
                                 << true << false;
    QTest::newRow("relative folder") << true << file(QList<QByteArray>{"music"} + L.mid(1)) << false
                                     << kDesignChecks << true << true;
  }

  void damagedFiles() {
    QFETCH(bool, present);
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    QFETCH(Checks, expectedChecks);
    QFETCH(bool, shortcuts);
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    const QString path = tableFolder(fixture);
    QVERIFY(QDir().mkpath(path));
    content.replace("%F", QFile::encodeName(path));
    if (present) fixture.writeFile(QStringLiteral("glview3.ini"), content);
    Program& program = fixture.start();
    QCOMPARE(program.frm_main()->Dir->Path() == path, folder);
    QCOMPARE(checks(program), expectedChecks);
    QCOMPARE(program.frm_option()->Option1Value(), shortcuts);
    QCOMPARE(program.frm_option()->Option2->isChecked(), !shortcuts);
    QCOMPARE(program.use_chinese(), chinese);
    QVERIFY(!program.frm_option()->CMD_Apply->isEnabled());
  }

  void foldersNotOnThisMachine_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Checks>("loaded");
    QTest::newRow("vanished folder") << file(QList<QByteArray>{"/no/such/folder"} + kFull.mid(1))
                                     << kFullChecks;
    // A file written on a drive-letter system: the example of the format's description.
    QTest::newRow("drive-letter folder")
        << file({"C:\\WINDOWS", " 1 ", " 0 ", " 0 ", " 1 ", " 1 ", " 1 ", " 0 ", "True", "False"})
        << Checks{1, 0, 0, 1, 1, 1, 0};
  }

  void foldersNotOnThisMachine() {
    QFETCH(QByteArray, content);
    QFETCH(Checks, loaded);
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("glview3.ini"), content);
    Program& program = fixture.start();
    const QString shown = program.frm_main()->Dir->Path();
    const QString drive = program.frm_main()->Drive->Drive();
    // At start (keep_folder 0) nothing after the folder line loads.
    QCOMPARE(checks(program), kDesignChecks);
    QVERIFY(program.frm_option()->Option1Value());
    // Cancel in the preferences (keep_folder 1) skips the folder line and loads the rest.
    program.LoadSettings(1);
    QCOMPARE(checks(program), loaded);
    QCOMPARE(program.frm_main()->Dir->Path(), shown);
    QCOMPARE(program.frm_main()->Drive->Drive(), drive);
    QVERIFY(!program.frm_option()->CMD_Apply->isEnabled());
  }

  void keepFolderLeavesTheFolderAlone() {
    ProgramFixture fixture;
    const QString path = tableFolder(fixture);
    QVERIFY(QDir().mkpath(path));
    QByteArray content = file(kFull);
    content.replace("%F", QFile::encodeName(path));
    Program& program = fixture.start();
    const QString shown = program.frm_main()->Dir->Path();
    QVERIFY(shown != path);
    fixture.writeFile(QStringLiteral("glview3.ini"), content);
    program.LoadSettings(1);
    QCOMPARE(program.frm_main()->Dir->Path(), shown);
    QCOMPARE(checks(program), kFullChecks);
    program.LoadSettings(0);
    QCOMPARE(program.frm_main()->Dir->Path(), path);
  }

  void loadingAlwaysDisablesApply() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.frm_option()->CMD_Apply->setEnabled(true);
    program.LoadSettings(1);  // no file
    QVERIFY(!program.frm_option()->CMD_Apply->isEnabled());
  }

  void saveThatCannotWriteReturns() {
    ProgramFixture fixture;
    QVERIFY(QDir(fixture.appDir()).mkdir(QStringLiteral("glview3.ini")));
    Program& program = fixture.start();
    program.SaveSettings();
    QVERIFY(QFileInfo(fixture.path(QStringLiteral("glview3.ini"))).isDir());
  }

  void fileNamePart_data() {
    const QString s = QDir::separator();
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("name");
    QTest::newRow("file in a folder") << s + "Music" + s + "a.wav" << true << QStringLiteral("a.wav");
    QTest::newRow("folder with its separator") << s + "Music" + s << true << QString();
    QTest::newRow("root") << s << true << QString();
    QTest::newRow("commas and spaces")
        << s + "live, 2001" + s + "a b.wav" << true << QStringLiteral("a b.wav");
    QTest::newRow("no separator") << QStringLiteral("a.wav") << false << QString();
    QTest::newRow("empty") << QString() << false << QString();
  }

  void fileNamePart() {
    QFETCH(QString, path);
    QFETCH(bool, found);
    QFETCH(QString, name);
    const auto part = Program::FileNamePart(path);
    QCOMPARE(part.has_value(), found);
    if (found) QCOMPARE(*part, name);
  }

  void windowsDirIsTheHomeFolder() {
    QCOMPARE(Program::GetWindowsDir(), QDir::toNativeSeparators(QDir::homePath()));
  }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
