#include "app/about_text.h"
#include "app/text_tables.h"

#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kCrLf = u"\r\n"_s;

// Looks up a numbered caption or help-title entry by table name and language.
const QString& Entry(const TextTables& t, const QString& table, bool zh, int n) {
  if (table == u"SplashText") return zh ? t.SplashText_zh.at(n) : t.SplashText_en.at(n);
  if (table == u"MainText") return zh ? t.MainText_zh.at(n) : t.MainText_en.at(n);
  if (table == u"PrefText") return zh ? t.PrefText_zh.at(n) : t.PrefText_en.at(n);
  if (table == u"MenuText") return zh ? t.MenuText_zh.at(n) : t.MenuText_en.at(n);
  if (table == u"FilterText") return zh ? t.FilterText_zh.at(n) : t.FilterText_en.at(n);
  if (table == u"HelpTitle") return zh ? t.HelpTitle_zh.at(n) : t.HelpTitle_en.at(n);
  qFatal("unknown table");
}

QStringList BodyLines(const TextTables& t, bool zh, int topic) {
  return (zh ? t.HelpBody_zh : t.HelpBody_en).at(topic).split(kCrLf);
}

template <std::size_t N>
void VerifyFilled(const std::array<QString, N>& table, const char* name) {
  QVERIFY2(table[0].isEmpty(), name);
  for (std::size_t i = 1; i < N; ++i) {
    QVERIFY2(!table[i].isEmpty(), qPrintable(u"%1 entry %2 is empty"_s.arg(QLatin1String(name)).arg(i)));
  }
}

}  // namespace

class TestTextTables : public QObject {
  Q_OBJECT

 private:
  TextTables t_;

 private slots:
  void initTestCase() { t_.fill(); }

  void entries_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("zh");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("expected");
    auto Row = [](const char* table, bool zh, int entry, const QString& expected) {
      QTest::addRow("%s %s %d", table, zh ? "zh" : "en", entry)
          << QString::fromLatin1(table) << zh << entry << expected;
    };
    Row("SplashText", false, 1, u"TARNWELL Glintview v3.0 (Deluxe)"_s);
    Row("SplashText", true, 1, u"TARNWELL 晶影器 v3.0 (豪華版)"_s);
    Row("SplashText", false, 2, u"The most powerful tool you have ever use..."_s);
    Row("SplashText", true, 2, u"最強最酷的晶影器…"_s);
    Row("MainText", false, 1, u"TARNWELL Glintview v3.0 (Deluxe)"_s);
    Row("MainText", true, 1, u"TARNWELL 晶影器 v3.0 (豪華版)"_s);
    Row("MainText", false, 3, u"Files"_s);
    Row("MainText", true, 3, u"檔案 (&F)"_s);
    Row("MainText", false, 6, u"Picture"_s);
    Row("MainText", true, 6, u"圖像"_s);
    Row("MainText", false, 8, u"Favourites"_s);
    Row("MainText", true, 8, u"我的最愛 (&A)"_s);
    Row("MainText", false, 9, u"Size:"_s);
    Row("MainText", true, 9, u"大小："_s);
    Row("PrefText", false, 2, u"&Gernel"_s);
    Row("PrefText", true, 2, u"一般 (&G)"_s);
    Row("PrefText", false, 3, u"Ad&vance"_s);
    Row("PrefText", true, 3, u"進階 (&V)"_s);
    Row("PrefText", false, 6, u"Gernel Option"_s);
    Row("PrefText", true, 6, u"一般選項"_s);
    Row("PrefText", false, 11, u"S&lideshow of sounds and movies"_s);
    Row("PrefText", true, 11, u"媒體檔連續播放 (&L)"_s);
    Row("PrefText", false, 14, u"&Auto play when click"_s);
    Row("PrefText", true, 14, u"按下媒體檔，自動播放 (&A)"_s);
    Row("PrefText", false, 18, u"Shor&t keys"_s);
    Row("PrefText", true, 18, u"快捷鍵 (&T)"_s);
    Row("PrefText", false, 21, u"Language Selection:"_s);
    Row("PrefText", true, 21, u"語糸選擇："_s);
    Row("PrefText", false, 22, u"Help"_s);
    Row("PrefText", true, 22, u"幫助"_s);
    Row("PrefText", false, 23, u"About"_s);
    Row("PrefText", true, 23, u"關於"_s);
    Row("PrefText", false, 24, u"TARNWELL Glintview v3.0 (Deluxe)"_s);
    Row("PrefText", true, 24, u"TARNWELL Glintview v3.0 (豪華版)"_s);
    Row("PrefText", false, 25, u"Visit TARNWELL Web Site!!"_s);
    Row("PrefText", true, 25, u"請到 TARNWELL 網站瀏覽！！"_s);
    Row("PrefText", false, 29, u"&Interface"_s);
    Row("PrefText", true, 29, u"介面 (&I)"_s);
    Row("MenuText", false, 1, u"Control Panel"_s);
    Row("MenuText", true, 1, u"控制台"_s);
    Row("MenuText", false, 5, u"&New favourite"_s);
    Row("MenuText", true, 5, u"新的 我的最愛 (&N)"_s);
    Row("MenuText", false, 10, u"&Open with..."_s);
    Row("MenuText", true, 10, u"開啟… (&O)"_s);
    Row("MenuText", false, 12, u"&Return..."_s);
    Row("MenuText", true, 12, u"返回… (&R)"_s);
    Row("MenuText", false, 15, u"&Next"_s);
    Row("MenuText", true, 15, u"下一項 (&N)"_s);
    Row("FilterText", false, 1, u"Paste from clipboard"_s);
    Row("FilterText", true, 1, u"從剪貼簿上貼上"_s);
    Row("FilterText", false, 3, u"All known formats"_s);
    Row("FilterText", true, 3, u"所有已知格式檔案"_s);
    Row("FilterText", false, 5, u"DIB pictures (*.dib)"_s);
    Row("FilterText", true, 5, u"器械獨立圖像 (*.dib)"_s);
    Row("FilterText", false, 8, u"Windows META files (*.wmf)"_s);
    Row("FilterText", true, 8, u"視窗 META 檔案 (*.wmf)"_s);
    Row("FilterText", false, 17, u"CD Audio"_s);
    Row("FilterText", true, 17, u"CD 音效"_s);
    Row("HelpTitle", false, 1, u"Introduction"_s);
    Row("HelpTitle", true, 1, u"介紹"_s);
    Row("HelpTitle", false, 5, u"Shortcut keys"_s);
    Row("HelpTitle", true, 5, u"快捷鍵"_s);
    Row("HelpTitle", false, 6, u"Trouble  Shootings"_s);
    Row("HelpTitle", true, 6, u"疑難排解"_s);
  }

  void entries() {
    QFETCH(QString, table);
    QFETCH(bool, zh);
    QFETCH(int, entry);
    QFETCH(QString, expected);
    QCOMPARE(Entry(t_, table, zh, entry), expected);
  }

  void mainTextCarriesWebAddress() {
    QCOMPARE(t_.MainText_en[7], u"Visit TARNWELL Web Site at "_s + TextTables::WebAddress + u" !!"_s);
    QCOMPARE(t_.MainText_zh[7], u"請到 TARNWELL 網站 "_s + TextTables::WebAddress + u" 瀏覽！！"_s);
    QVERIFY(!TextTables::WebAddress.isEmpty());
    QVERIFY(TextTables::MailAddress.contains(u'@'));
  }

  // The main window's frames carry an access key only in Chinese.
  void frameAccessKeysOnlyInChinese() {
    for (int n : {3, 4, 5, 8}) {
      QVERIFY2(!t_.MainText_en[n].contains(u'&'), qPrintable(t_.MainText_en[n]));
      QVERIFY2(t_.MainText_zh[n].contains(u"(&"_s), qPrintable(t_.MainText_zh[n]));
    }
  }

  void messages_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("zh");
    QTest::addColumn<QString>("en");
    QTest::newRow("0 warning") << 0 << u"警告！！"_s << u"Warning!!"_s;
    QTest::newRow("2 delete") << 2 << u"刪除 "_s << u"Delete file "_s;
    QTest::newRow("6 question mark") << 6 << u"？"_s << u"?"_s;
    QTest::newRow("7 bitmap filter") << 7 << u"點陣圖 (*.bmp) | *.bmp | 所有檔案 (*.*) | *.*"_s
                                     << u"Bitmap file (*.bmp) | *.bmp | All files (*.*) | *.*"_s;
    QTest::newRow("8 list filter") << 8 << u"晶影器 我的最愛 (*.lst) | *.lst | 所有檔案 (*.*) | *.*"_s
                                   << u"Glintview List (*.lst) | *.lst | All files (*.*) | *.*"_s;
  }

  void messages() {
    QFETCH(int, row);
    QFETCH(QString, zh);
    QFETCH(QString, en);
    QCOMPARE(t_.MsgText[row][0], zh);
    QCOMPARE(t_.MsgText[row][1], en);
    QCOMPARE(t_.msg(row, true), zh);
    QCOMPARE(t_.msg(row, false), en);
  }

  void everyEntryFilled() {
    VerifyFilled(t_.SplashText_en, "SplashText_en");
    VerifyFilled(t_.SplashText_zh, "SplashText_zh");
    VerifyFilled(t_.MainText_en, "MainText_en");
    VerifyFilled(t_.MainText_zh, "MainText_zh");
    VerifyFilled(t_.PrefText_en, "PrefText_en");
    VerifyFilled(t_.PrefText_zh, "PrefText_zh");
    VerifyFilled(t_.MenuText_en, "MenuText_en");
    VerifyFilled(t_.MenuText_zh, "MenuText_zh");
    VerifyFilled(t_.FilterText_en, "FilterText_en");
    VerifyFilled(t_.FilterText_zh, "FilterText_zh");
    for (const auto& row : t_.MsgText) {
      QVERIFY(!row[0].isEmpty());
      QVERIFY(!row[1].isEmpty());
    }
  }

  void helpSlots() {
    QVERIFY(t_.HelpTitle_en[0].isEmpty() && t_.HelpBody_zh[0].isEmpty());
    for (int k = 1; k <= 6; ++k) {
      QVERIFY(!t_.HelpTitle_en[k].isEmpty() && !t_.HelpTitle_zh[k].isEmpty());
      QVERIFY(!t_.HelpBody_en[k].isEmpty() && !t_.HelpBody_zh[k].isEmpty());
    }
    for (int k = 7; k <= 10; ++k) {
      QVERIFY(t_.HelpTitle_en[k].isEmpty() && t_.HelpTitle_zh[k].isEmpty());
      QVERIFY(t_.HelpBody_en[k].isEmpty() && t_.HelpBody_zh[k].isEmpty());
    }
  }

  void helpBodies_data() {
    QTest::addColumn<bool>("zh");
    QTest::addColumn<int>("topic");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("lineNo");  // a line worth checking, from 1
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("en 1") << false << 1 << 9 << 3 << u"-TARNWELL Glintview v3.0 (Deluxe) provide "_s
                          << u"in the index."_s;
    QTest::newRow("zh 1") << true << 1 << 8 << 4 << u"提供最容易的方法瀏覽多媒體檔案 , 並"_s
                          << u"到’功能’一項查看最新功能。"_s;
    QTest::newRow("en 2") << false << 2 << 28 << 7 << u"-------------"_s << u"-DAT Movies (*.dat)"_s;
    QTest::newRow("zh 2") << true << 2 << 25 << 13 << QString() << u"-DAT 動畫 (*.dat)"_s;
    QTest::newRow("en 3") << false << 3 << 11 << 3 << u"-A USER FRIENDLY & COOL interface is added."_s
                          << u"as the interface language."_s;
    QTest::newRow("zh 3") << true << 3 << 10 << 10 << u"-多語言選擇功能（英文 及 中文）"_s
                          << u"-多語言選擇功能（英文 及 中文）"_s;
    QTest::newRow("en 4") << false << 4 << 21 << 15 << u"-A free move & visiblel Control panel added."_s
                          << u"-Glintview 3 will save the option settings while Glintview 2 will not."_s;
    QTest::newRow("zh 4") << true << 4 << 20 << 11 << u"（正常模式\u3000及\u3000全畫面模式）"_s
                          << u"-Glintview 3 會自動儲存喜好設定。"_s;
    QTest::newRow("en 5") << false << 5 << 25 << 17 << u"Down Arrorw  - Next file"_s
                          << u"Ctrl-D - Change path to Desktop"_s;
    QTest::newRow("zh 5") << true << 5 << 25 << 19 << u"End 鍵      - 最底一項"_s
                          << u"Ctrl D - 將資料夾設定到桌面快捷鍵"_s;
    QTest::newRow("en 6") << false << 6 << 7 << 4 << TextTables::MailAddress + u"."_s
                          << TextTables::WebAddress;
    QTest::newRow("zh 6") << true << 6 << 7 << 4 << TextTables::MailAddress << TextTables::WebAddress;
  }

  void helpBodies() {
    QFETCH(bool, zh);
    QFETCH(int, topic);
    QFETCH(int, lineCount);
    QFETCH(int, lineNo);
    QFETCH(QString, line);
    QFETCH(QString, lastLine);
    const QString& body = (zh ? t_.HelpBody_zh : t_.HelpBody_en)[topic];
    QVERIFY(!body.endsWith(kCrLf));
    // Every line break is a CR LF pair.
    QCOMPARE(body.count(u'\r'), lineCount - 1);
    QCOMPARE(body.count(u'\n'), lineCount - 1);
    const QStringList lines = body.split(kCrLf);
    QCOMPARE(lines.size(), lineCount);
    QCOMPARE(lines[lineNo - 1], line);
    QCOMPARE(lines.last(), lastLine);
    // A heading repeats the topic name (one space in topic 6), then a row of hyphens.
    const QString title = (zh ? t_.HelpTitle_zh : t_.HelpTitle_en)[topic];
    QCOMPARE(lines[0], QString(title).replace(u"  "_s, u" "_s));
    QVERIFY(!lines[1].isEmpty());
    QCOMPARE(lines[1], QString(lines[1].size(), u'-'));
  }

  void troubleShootingSpaces() {
    QCOMPARE(t_.HelpTitle_en[6], u"Trouble  Shootings"_s);
    QCOMPARE(BodyLines(t_, false, 6).first(), u"Trouble Shootings"_s);
  }

  // The media-support topic lists the file-type box's items; the two must agree.
  void mediaTopicMatchesFilters_data() {
    QTest::addColumn<bool>("zh");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<QList<int>>("filters");
    const QList<int> filters = {1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 13, 14, 15, 16};
    QTest::newRow("en") << false << QList<int>{8, 9, 10, 11, 12, 13, 14, 15, 19, 20, 21, 25, 26, 27, 28}
                        << filters;
    QTest::newRow("zh") << true << QList<int>{5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 18, 22, 23, 24, 25}
                        << filters;
  }

  void mediaTopicMatchesFilters() {
    QFETCH(bool, zh);
    QFETCH(QList<int>, lines);
    QFETCH(QList<int>, filters);
    const QStringList body = BodyLines(t_, zh, 2);
    const auto& filter = zh ? t_.FilterText_zh : t_.FilterText_en;
    for (qsizetype i = 0; i < lines.size(); ++i) {
      QCOMPARE(body[lines[i] - 1], u"-"_s + filter[filters[i]]);
    }
  }

  void selectLanguage() {
    TextTables t;
    t.fill();
    for (bool zh : {true, false, true}) {
      t.selectLanguage(zh);
      QCOMPARE(t.SplashText, zh ? t.SplashText_zh : t.SplashText_en);
      QCOMPARE(t.MainText, zh ? t.MainText_zh : t.MainText_en);
      QCOMPARE(t.PrefText, zh ? t.PrefText_zh : t.PrefText_en);
      QCOMPARE(t.MenuText, zh ? t.MenuText_zh : t.MenuText_en);
      QCOMPARE(t.FilterText, zh ? t.FilterText_zh : t.FilterText_en);
    }
    // The source tables are not touched by switching.
    QCOMPARE(t.MainText_en[3], u"Files"_s);
    QCOMPARE(t.MainText_zh[3], u"檔案 (&F)"_s);
  }

  void aboutText_data() {
    QTest::addColumn<bool>("zh");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("fifth");
    QTest::addColumn<QString>("thirteenth");
    QTest::addColumn<QString>("sixteenth");
    QTest::newRow("en") << false << u"TARNWELL Glintview v3.0 (Deluxe)"_s
                        << u"Please send any bugs report, suggestions, comment to "_s
                        << u"Director ------------- Ashdown"_s << u"Written by Ashdown"_s;
    QTest::newRow("zh") << true << u"TARNWELL 晶影器 v3.0 (豪華版)"_s << u"請將任何損害壞報告及建議電郵到"_s
                        << u"監制 -------------------- Ashdown"_s << u"Ashdown 編寫"_s;
  }

  void aboutText() {
    QFETCH(bool, zh);
    QFETCH(QString, first);
    QFETCH(QString, fifth);
    QFETCH(QString, thirteenth);
    QFETCH(QString, sixteenth);
    const QString text = ::aboutText(zh, kCrLf);
    QVERIFY(text.endsWith(kCrLf));
    QStringList lines = text.split(kCrLf);
    QCOMPARE(lines.size(), 18);
    QVERIFY(lines.takeLast().isEmpty());
    QCOMPARE(lines[0], first);
    QCOMPARE(lines[4], fifth);
    QCOMPARE(lines[5], TextTables::MailAddress);
    QCOMPARE(lines[7], TextTables::WebAddress);
    QCOMPARE(lines[12], thirteenth);
    QCOMPARE(lines[15], sixteenth);
    for (int blank : {2, 4, 9, 14, 15})
      QVERIFY2(lines[blank - 1].isEmpty(), qPrintable(QString::number(blank)));
    QCOMPARE(text.count(u'\n'), 17);
  }
};

QTEST_GUILESS_MAIN(TestTextTables)
#include "test_text_tables.moc"
