// The small text files: line reading with CR / CR LF ends, atomic line writing, the settings fields.
#include "app/text_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <csignal>
#endif

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

using Lines = QList<QByteArray>;

}  // namespace

class TestTextFile : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void readLines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<Lines>("expected");
    QTest::newRow("empty file") << QByteArray() << 10 << Lines{};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << 10 << Lines{"a", "b"};
    QTest::newRow("CR only") << QByteArray("a\rb\r") << 10 << Lines{"a", "b"};
    QTest::newRow("last line without end") << QByteArray("a\r\nb") << 10 << Lines{"a", "b"};
    QTest::newRow("lone LF belongs to the line") << QByteArray("a\nb\r\nc") << 10 << Lines{"a\nb", "c"};
    QTest::newRow("LF after CR LF starts the next line")
        << QByteArray("a\r\n\nb\r\n") << 10 << Lines{"a", "\nb"};
    QTest::newRow("blank lines are lines") << QByteArray("\r\n\r\nx\r\n") << 10 << Lines{"", "", "x"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << 10 << Lines{"a", ""};
    QTest::newRow("limit") << QByteArray("1\r\n2\r\n3\r\n4\r\n") << 3 << Lines{"1", "2", "3"};
    QTest::newRow("limit with an open last line") << QByteArray("1\r\n2") << 1 << Lines{"1"};
    QTest::newRow("NUL and high bytes kept")
        << QByteArray("\0\xff\x80\r\n", 5) << 10 << Lines{QByteArray("\0\xff\x80", 3)};
    const QByteArray longest(textfile::kMaxLineBytes, 'x');
    QTest::newRow("longest line taken") << "a\r\n" + longest << 10 << Lines{"a", longest};
    QTest::newRow("overlong line ends the reading") << "a\r\n" + longest + "x\r\nb\r\n" << 10 << Lines{"a"};
  }

  void readLines() {
    QFETCH(QByteArray, content);
    QFETCH(int, maxLines);
    QFETCH(Lines, expected);
    const QString path = dir_.filePath(QStringLiteral("read.txt"));
    writeBytes(path, content);
    const auto lines = textfile::readLines(path, maxLines);
    QVERIFY(lines);
    QCOMPARE(*lines, expected);
    QCOMPARE(textfile::splitLines(content, maxLines), expected);
  }

  // List files take a lone LF as a line end as well; CR LF stays one end, and the other rules stand.
  void lineEndsAlsoLf_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<Lines>("expected");
    QTest::addColumn<bool>("cutShort");
    QTest::newRow("all three mixed") << QByteArray("/a\r\n/b\n/c\r/d") << 10 << Lines{"/a", "/b", "/c", "/d"}
                                     << false;
    QTest::newRow("CR LF is one end, LF after it another")
        << QByteArray("/a\r\n\n/b") << 10 << Lines{"/a", "", "/b"} << false;
    const QByteArray longest(textfile::kMaxLineBytes, 'x');
    QTest::newRow("overlong line ends the reading") << "a\n" + longest + "x\nb\n" << 10 << Lines{"a"} << true;
  }

  void lineEndsAlsoLf() {
    QFETCH(QByteArray, content);
    QFETCH(int, maxLines);
    QFETCH(Lines, expected);
    QFETCH(bool, cutShort);
    const QString path = dir_.filePath(QStringLiteral("list.lst"));
    writeBytes(path, content);
    bool cut = !cutShort;
    const auto lines = textfile::readLines(path, maxLines, &cut, textfile::LineEnds::AlsoLf);
    QVERIFY(lines);
    QCOMPARE(*lines, expected);
    QCOMPARE(cut, cutShort);
    QCOMPARE(textfile::splitLines(content, maxLines, nullptr, textfile::LineEnds::AlsoLf), expected);
  }

  void unreadablePathsGiveNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("no-such-file");
    QTest::newRow("folder") << QStringLiteral("a-folder");
    QTest::newRow("empty name") << QString();
  }

  void unreadablePathsGiveNothing() {
    QFETCH(QString, name);
    QDir(dir_.path()).mkdir(QStringLiteral("a-folder"));
    QVERIFY(!textfile::readLines(name.isEmpty() ? QString() : dir_.filePath(name), 10));
  }

  void writeLinesEndsEveryLineWithCrLf() {
    const QString path = dir_.filePath(QStringLiteral("write.txt"));
    QVERIFY(textfile::writeLines(path, {" 1 ", "True", ""}));
    QCOMPARE(readBytes(path), QByteArray(" 1 \r\nTrue\r\n\r\n"));
    QVERIFY(textfile::writeLines(path, {}));
    QVERIFY(QFile::exists(path));
    QCOMPARE(readBytes(path), QByteArray());
  }

  void failedWriteCreatesNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("inside a missing folder") << QStringLiteral("missing/list.lst");
    QTest::newRow("parent is a file") << QStringLiteral("plain/list.lst");
    QTest::newRow("target is a folder") << QStringLiteral("folder");
  }

  void failedWriteCreatesNothing() {
    QFETCH(QString, target);
    QTemporaryDir sandbox;
    writeBytes(sandbox.filePath(QStringLiteral("plain")), "old");
    QDir(sandbox.path()).mkdir(QStringLiteral("folder"));
    const QStringList before = QDir(sandbox.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(!textfile::writeLines(sandbox.filePath(target), {"/a/b.wav"}));
    QCOMPARE(QDir(sandbox.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(readBytes(sandbox.filePath(QStringLiteral("plain"))), QByteArray("old"));
    QVERIFY(QFileInfo(sandbox.filePath(QStringLiteral("folder"))).isDir());
  }

  void fullDiskLeavesTheOldFileWhole() {
#ifdef Q_OS_UNIX
    // A file size limit makes every write past it fail as a full disk would, even for root.
    QTemporaryDir sandbox;
    const QString path = sandbox.filePath(QStringLiteral("glview3.ini"));
    const QByteArray old = "/old/folder\r\n 1 \r\n";
    writeBytes(path, old);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = textfile::writeLines(path, {QByteArray(64 * 1024, 'x'), "tail"});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous_handler);
    QVERIFY(!written);
    QCOMPARE(readBytes(path), old);
    QCOMPARE(QDir(sandbox.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"glview3.ini"});
#else
    QSKIP("needs a file size limit");
#endif
  }

  // What the settings table does not show: the number fields are strict.
  void conversions_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("number");   // -999: no number
    QTest::addColumn<int>("boolean");  // -1: no Boolean
    QTest::newRow("plus sign") << QByteArray("+1") << 1 << 1;
    QTest::newRow("empty") << QByteArray() << -999 << -1;
    QTest::newRow("sign alone") << QByteArray("-") << -999 << -1;
    QTest::newRow("hex") << QByteArray("0x1") << -999 << -1;
    QTest::newRow("digits then garbage") << QByteArray("1a") << -999 << -1;
    QTest::newRow("too large") << QByteArray("99999999999") << -999 << -1;
  }

  void conversions() {
    QFETCH(QByteArray, field);
    QFETCH(int, number);
    QFETCH(int, boolean);
    const auto n = textfile::toNumber(field);
    QCOMPARE(n ? *n : -999, number);
    const auto b = textfile::toBool(field);
    QCOMPARE(b ? int(*b) : -1, boolean);
  }
};

QTEST_MAIN(TestTextFile)
#include "test_text_file.moc"
