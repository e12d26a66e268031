// The language of a first run follows the desktop's locale, a settings file always decides once there is
// one, and Qt's own texts (message box buttons, file dialogs) follow the interface's language.
#include "app/frm_splash.h"
#include "app/language.h"
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

constexpr const char* kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};

// Standard buttons as Qt's message boxes label them, in the language Qt is speaking now.
QString yesButtonText() {
  QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("p"),
                  QMessageBox::Yes | QMessageBox::No);
  return box.button(QMessageBox::Yes)->text();
}

QByteArray settings(const QString& folder, const char* language_line) {
  QByteArray bytes = QFile::encodeName(folder) + "\r\n";
  for (int i = 0; i < 7; ++i) bytes += " 1 \r\n";
  bytes += "True\r\n";
  bytes += language_line;
  return bytes;
}

}  // namespace

class TestFirstRunLanguage : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    for (const char* name : kLocaleVariables) qunsetenv(name);
  }
  void cleanupTestCase() { init(); }

  void initTestCase() {
    // A run without Qt's translation cannot show Qt's buttons in Chinese: the package is a dependency.
    QVERIFY2(QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_TW.qm"),
             "qtbase_zh_TW.qm missing: install qt6-translations-l10n (scripts/packages.txt)");
  }

  void locale_data() {
    QTest::addColumn<QByteArrayList>("environment");  // name=value pairs
    QTest::addColumn<bool>("chinese");
    QTest::newRow("nothing set") << QByteArrayList{} << false;
    QTest::newRow("LANG zh_TW.UTF-8") << QByteArrayList{"LANG=zh_TW.UTF-8"} << true;
    QTest::newRow("LANG zh_HK.Big5-HKSCS") << QByteArrayList{"LANG=zh_HK.Big5-HKSCS"} << true;
    QTest::newRow("LANG zh_CN is Simplified") << QByteArrayList{"LANG=zh_CN.UTF-8"} << false;
    QTest::newRow("LANG zh_TWN is no locale") << QByteArrayList{"LANG=zh_TWN"} << false;
    QTest::newRow("LC_ALL over LANG") << QByteArrayList{"LC_ALL=en_US.UTF-8", "LANG=zh_TW.UTF-8"} << false;
    QTest::newRow("LC_MESSAGES over LANG") << QByteArrayList{"LC_MESSAGES=zh_HK", "LANG=en_US.UTF-8"} << true;
    QTest::newRow("LANGUAGE first choice")
        << QByteArrayList{"LANG=en_US.UTF-8", "LANGUAGE=zh_TW:en_US"} << true;
    QTest::newRow("LANGUAGE under C") << QByteArrayList{"LANG=C", "LANGUAGE=zh_TW"} << false;
  }

  void locale() {
    QFETCH(QByteArrayList, environment);
    QFETCH(bool, chinese);
    for (const QByteArray& pair : environment) {
      const qsizetype equals = pair.indexOf('=');
      qputenv(pair.left(equals).constData(), pair.mid(equals + 1));
    }
    QCOMPARE(language::localeWantsChinese(), chinese);
  }

  void firstRunSpeaksTheLocale() {
    qputenv("LANG", "zh_TW.UTF-8");
    ProgramFixture fixture;
    Program& p = fixture.start();
    QVERIFY(p.use_chinese());
    QCOMPARE(p.frm_splash()->Label2->text(), p.tables().SplashText_zh[1]);
    QCOMPARE(p.frm_main()->title->text(), p.tables().MainText_zh[2]);
    QCOMPARE(p.frm_main()->cmb_filter->itemText(2), p.tables().FilterText_zh[3]);
    QCOMPARE(p.frm_option()->CMD_Apply->text(), p.tables().PrefText_zh[28]);
    // Qt's own buttons as well.
    QVERIFY(p.qtTranslation.installed());
    QCOMPARE(yesButtonText(), QCoreApplication::translate("QPlatformTheme", "&Yes"));
    QVERIFY(yesButtonText() != QStringLiteral("&Yes"));
    // Nothing is written until the user applies; then the file says Chinese and decides from then on.
    QVERIFY(!QFile::exists(fixture.path("glview3.ini")));
    QVERIFY(p.SaveSettings());
    QVERIFY(fixture.readFile("glview3.ini").endsWith("True\r\n"));
  }

  void settingsFileDecides_data() {
    QTest::addColumn<QByteArray>("languageLine");
    QTest::newRow("English") << QByteArray("False\r\n");
    QTest::newRow("no language line") << QByteArray();
  }

  void settingsFileDecides() {
    QFETCH(QByteArray, languageLine);
    qputenv("LANG", "zh_TW.UTF-8");
    ProgramFixture fixture;
    fixture.writeFile("glview3.ini", settings(fixture.appDir(), languageLine.constData()));
    Program& p = fixture.start();
    QVERIFY(!p.use_chinese());
    QCOMPARE(p.frm_splash()->Label2->text(), p.tables().SplashText_en[1]);
    QCOMPARE(p.frm_main()->title->text(), p.tables().MainText_en[2]);
    QVERIFY(!p.qtTranslation.installed());
    QCOMPARE(yesButtonText(), QStringLiteral("&Yes"));
  }

  void qtTextsFollowTheAppliedLanguage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QVERIFY(!p.use_chinese());
    QCOMPARE(yesButtonText(), QStringLiteral("&Yes"));

    // Chosen in the preferences: Qt's texts change with the captions, on Apply and not before.
    o.CMD_ToggleLang_Click();
    QVERIFY(!p.qtTranslation.installed());
    o.CMD_Apply_Click();
    QVERIFY(p.qtTranslation.installed());
    QVERIFY(yesButtonText() != QStringLiteral("&Yes"));
    const QString chineseYes = yesButtonText();

    o.CMD_ToggleLang_Click();
    o.CMD_Apply_Click();
    QVERIFY(!p.qtTranslation.installed());
    QCOMPARE(yesButtonText(), QStringLiteral("&Yes"));

    // Applying the same language again leaves one translation in place, not two.
    o.CMD_ToggleLang_Click();
    o.CMD_Apply_Click();
    p.ApplyInterface();
    QCOMPARE(yesButtonText(), chineseYes);
    o.CMD_ToggleLang_Click();
    o.CMD_Apply_Click();
    QCOMPARE(yesButtonText(), QStringLiteral("&Yes"));
  }
};

QTEST_MAIN(TestFirstRunLanguage)
#include "test_first_run_language.moc"
