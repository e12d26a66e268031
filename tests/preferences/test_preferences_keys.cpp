// The preferences from the keyboard, as a dialog takes it: Enter presses the focused button, else OK (the
// default button); Escape is Cancel.
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

class TestPreferencesKeys : public QObject {
  Q_OBJECT

 private slots:
  void enterAndEscape_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("kept");
    QTest::newRow("Enter on a check box: OK") << "check box" << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter: OK") << "check box" << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter on OK") << "OK" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on Cancel: Cancel") << "Cancel" << int(Qt::Key_Return) << false;
    QTest::newRow("Escape: Cancel") << "check box" << int(Qt::Key_Escape) << false;
  }

  void enterAndEscape() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, kept);
    ProgramFixture fixture;
    QByteArray saved = QFile::encodeName(fixture.appDir()) + "\r\n";
    for (int i = 0; i < 7; ++i) saved += " 1 \r\n";
    saved += "True\r\nFalse\r\n";
    fixture.writeFile(QStringLiteral("glview3.ini"), saved);
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    p.frm_main()->show();
    p.frm_main()->Logo_Click();
    o.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&o));
    QWindow* window = o.windowHandle();
    QCheckBox* box = o.Check[FrmOption::StopCdAtExit];
    const bool before = box->isChecked();
    box->setFocus();
    QTest::keyClick(window, Qt::Key_Space);
    QCOMPARE(box->isChecked(), !before);

    if (focus == "OK") o.CMD_OK->setFocus();
    if (focus == "Cancel") o.CMD_Cancel->setFocus();
    QTest::keyClick(window, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QTRY_VERIFY_WITH_TIMEOUT(!o.isVisible(), 2000);
    QVERIFY(p.frm_main()->isEnabled());
    // OK wrote the choice to the settings file; Cancel read the file back over it.
    QCOMPARE(fixture.readFile(QStringLiteral("glview3.ini")) != saved, kept);
    p.LoadSettings(1);
    QCOMPARE(box->isChecked(), kept ? !before : before);
  }

  void okIsTheDefaultButton() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    QAccessibleInterface* ok = QAccessible::queryAccessibleInterface(p.frm_option()->CMD_OK);
    QVERIFY(ok->state().defaultButton);
    QVERIFY(!QAccessible::queryAccessibleInterface(p.frm_option()->CMD_Cancel)->state().defaultButton);
  }
};

QTEST_MAIN(TestPreferencesKeys)
#include "test_preferences_keys.moc"
