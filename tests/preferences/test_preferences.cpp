// The preferences dialog: language button, OK / Cancel / Apply with the settings file, tabs, help page,
// credits, link, drag and the main window's state while the dialog is active.
#include "controls/fit_label.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

namespace {

QByteArray settings(const QString& folder, bool chinese) {
  QByteArray bytes = QFile::encodeName(folder) + "\r\n";
  for (int i = 0; i < 7; ++i) bytes += " 1 \r\n";
  bytes += "True\r\n";
  bytes += chinese ? "True\r\n" : "False\r\n";
  return bytes;
}

bool showsPicture(const QPushButton* button, const QPixmap& picture) {
  return button->icon().pixmap(button->iconSize()).toImage() == picture.toImage();
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// The text box keeps the lines of a help text; it hands them back ended by a bare line feed.
QString shown(QString body) { return body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

bool pageShown(const FrmOption& o, int n) { return !o.Frame[n]->isHidden(); }

}  // namespace

class TestPreferences : public QObject {
  Q_OBJECT

 private slots:
  void languageToggleThenCancel_data() {
    QTest::addColumn<bool>("savedChinese");
    QTest::addColumn<int>("toggles");
    QTest::newRow("English, twice") << false << 2;
    QTest::newRow("Chinese, twice") << true << 2;
    QTest::newRow("English, once") << false << 1;
    QTest::newRow("Chinese, once") << true << 1;
  }

  void languageToggleThenCancel() {
    QFETCH(bool, savedChinese);
    QFETCH(int, toggles);
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("glview3.ini"), settings(fixture.appDir(), savedChinese));
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QCOMPARE(p.use_chinese(), savedChinese);
    const QString tab_caption = o.Tabs->tabText(0);

    for (int i = 0; i < toggles; ++i) o.CMD_ToggleLang_Click();
    QCOMPARE(p.use_chinese(), toggles % 2 ? !savedChinese : savedChinese);
    QVERIFY(o.CMD_Apply->isEnabled());
    QVERIFY(showsPicture(o.CMD_ToggleLang, p.use_chinese() ? o.img_chinese : o.img_english));
    QCOMPARE(o.Tabs->tabText(0), tab_caption);  // captions wait for Apply

    o.CMD_Cancel_Click();
    QCOMPARE(p.use_chinese(), savedChinese);
    QVERIFY(!o.CMD_Apply->isEnabled());
    QVERIFY(o.isHidden());
    QCOMPARE(o.Tabs->tabText(0), tab_caption);
    // The picture follows the saved language again once the dialog is active.
    o.Form_Activate();
    QVERIFY(showsPicture(o.CMD_ToggleLang, savedChinese ? o.img_chinese : o.img_english));
  }

  void applyWritesAndAppliesTheLanguage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    o.CMD_ToggleLang_Click();
    o.CMD_Apply_Click();
    QVERIFY(!o.CMD_Apply->isEnabled());
    QCOMPARE(o.Tabs->tabText(0), p.tables().PrefText_zh[2]);
    QVERIFY(fixture.readFile(QStringLiteral("glview3.ini")).endsWith("True\r\n"));
  }

  void okWithUnchangedOptionsWritesTheFile() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    QVERIFY(!QFile::exists(fixture.path(QStringLiteral("glview3.ini"))));
    FrmOption& o = *p.frm_option();
    o.show();
    QVERIFY(!o.CMD_Apply->isEnabled());
    o.CMD_OK_Click();
    const QList<QByteArray> lines = fixture.readFile(QStringLiteral("glview3.ini")).split('\n');
    QCOMPARE(lines.size(), 11);  // ten lines, each ended
    QCOMPARE(lines[2], QByteArray(" 1 \r"));
    QCOMPARE(lines[3], QByteArray(" 0 \r"));
    QCOMPARE(lines[8], QByteArray("True\r"));
    QCOMPARE(lines[9], QByteArray("False\r"));
    QVERIFY(o.isHidden());
    QVERIFY(p.frm_main()->isEnabled());
  }

  void optionChangesEnableApply() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QVERIFY(!o.CMD_Apply->isEnabled());
    o.Check[3]->click();
    QVERIFY(o.CMD_Apply->isEnabled());
    o.CMD_Apply_Click();
    QVERIFY(!o.CMD_Apply->isEnabled());
    o.setOption1Value(false);
    QVERIFY(o.CMD_Apply->isEnabled());
  }

  void tabs() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    o.show();
    QCOMPARE(o.cur_tab, 1);

    // A click on the tab already shown changes nothing.
    QTest::mouseClick(o.Tabs, Qt::LeftButton, {}, o.Tabs->tabRect(0).center());
    QCOMPARE(o.cur_tab, 1);
    QVERIFY(pageShown(o, 1));

    // The page changes on the press; the click that follows changes nothing more.
    QTest::mousePress(o.Tabs, Qt::LeftButton, {}, o.Tabs->tabRect(2).center());
    QCOMPARE(o.cur_tab, 3);
    QVERIFY(pageShown(o, 3));
    QVERIFY(!pageShown(o, 1));
    QTest::mouseRelease(o.Tabs, Qt::LeftButton, {}, o.Tabs->tabRect(2).center());
    QCOMPARE(o.cur_tab, 3);

    // Only the About page runs the credits.
    QVERIFY(!o.Timer->isActive());
    QTest::mouseClick(o.Tabs, Qt::LeftButton, {}, o.Tabs->tabRect(3).center());
    QCOMPARE(o.cur_tab, 4);
    QVERIFY(o.Timer->isActive());
    for (int n = 1; n <= 4; ++n) QCOMPARE(pageShown(o, n), n == 4);
    QTest::mouseClick(o.Tabs, Qt::LeftButton, {}, o.Tabs->tabRect(1).center());
    QCOMPARE(o.cur_tab, 2);
    QVERIFY(!o.Timer->isActive());
    for (int n = 1; n <= 4; ++n) QCOMPARE(pageShown(o, n), n == 2);

    // The dialog reopens on the page it was left on.
    o.CMD_Cancel_Click();
    o.show();
    QCOMPARE(o.cur_tab, 2);
    QVERIFY(pageShown(o, 2));
  }

  void helpPage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    const TextTables& t = p.tables();
    QCOMPARE(o.lst_help->count(), 6);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_en[1]));
    QCOMPARE(o.lst_help->item(5)->text(), QStringLiteral("Trouble  Shootings"));

    o.lst_help->setCurrentRow(4);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_en[5]));
    o.lst_help->setFocus();
    QTest::keyClick(o.lst_help, Qt::Key_Down);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_en[6]));

    // After the language button, the titles stay while a topic shows its text in the new language.
    o.CMD_ToggleLang_Click();
    o.lst_help->setCurrentRow(1);
    QCOMPARE(o.lst_help->item(1)->text(), t.HelpTitle_en[2]);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_zh[2]));

    o.CMD_Apply_Click();
    QCOMPARE(o.lst_help->count(), 6);
    QCOMPARE(o.lst_help->currentRow(), 0);
    QCOMPARE(o.lst_help->item(0)->text(), t.HelpTitle_zh[1]);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_zh[1]));

    o.lst_help->setCurrentRow(3);
    o.CMD_Cancel_Click();  // back to the saved (Chinese) language and topic 1
    QCOMPARE(o.lst_help->count(), 6);
    QCOMPARE(o.lst_help->currentRow(), 0);
    QCOMPARE(o.txt_help->toPlainText(), shown(t.HelpBody_zh[1]));
  }

  // Six topics, six rows of one line each, every title whole in its row; the rule under topic 2's heading
  // on one line of the text box; every line of the credits whole in its box. In either language.
  void helpAndCreditsWhole_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
  }

  void helpAndCreditsWhole() {
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("glview3.ini"), settings(QDir::tempPath(), chinese));
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    o.show();
    QVERIFY(QTest::qWaitForWindowExposed(&o));
    o.Tabs->setCurrentIndex(2);

    QListWidget& topics = *o.lst_help;
    QCOMPARE(topics.count(), 6);
    auto* rows = dynamic_cast<FitRowDelegate*>(topics.itemDelegate());
    QVERIFY(rows);
    QStyleOptionViewItem option;
    option.initFrom(&topics);
    option.widget = &topics;
    option.font = topics.font();
    for (int row = 0; row < 6; ++row) {
      option.rect = topics.visualItemRect(topics.item(row));
      QCOMPARE(option.rect.height(), topics.visualItemRect(topics.item(0)).height());
      QVERIFY(option.rect.height() < 2 * topics.fontMetrics().height());
      QVERIFY(topics.viewport()->rect().contains(option.rect));
      const QString title = topics.item(row)->text();
      QVERIFY2(
          QFontMetrics(rows->fittedFont(option, topics.model()->index(row, 0))).horizontalAdvance(title) <=
              option.rect.width(),
          qPrintable(title));
    }

    topics.setCurrentRow(1);
    const QTextBlock rule = o.txt_help->document()->findBlockByNumber(1);
    QVERIFY(rule.text().startsWith(QStringLiteral("-----")));
    o.txt_help->document()->documentLayout()->blockBoundingRect(rule);
    QCOMPARE(rule.layout()->lineCount(), 1);

    auto* credits = dynamic_cast<FitLabel*>(o.txt_about);
    QVERIFY(credits);
    for (const QString& line : credits->lines())
      QVERIFY2(
          QFontMetrics(credits->fittedFont(line)).horizontalAdvance(line) <= credits->contentsRect().width(),
          qPrintable(line));
  }

  void creditsScroll_data() {
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("after");
    // The box is 1875 twips (125 px) high, the panel 4695 twips (313 px).
    QTest::newRow("design place") << 116 << 115;
    QTest::newRow("bottom edge one pixel inside") << -312 << -313;
    QTest::newRow("bottom edge at the top") << -313 << 125;
    QTest::newRow("far above") << -5000 << 125;
    QTest::newRow("below the box") << 125 << 124;
  }

  void creditsScroll() {
    QFETCH(int, top);
    QFETCH(int, after);
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QCOMPARE(o.border->height(), 125);
    QCOMPARE(o.scroll->height(), 313);
    o.scroll->move(0, top);
    o.Timer_Timer();
    QCOMPARE(o.scroll->y(), after);
  }

  void creditsRunOnlyOnTheAboutPage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QCOMPARE(o.scroll->y(), 116);
    o.Tabs->setCurrentIndex(3);
    QTRY_VERIFY_WITH_TIMEOUT(o.scroll->y() < 110, 5000);
    o.Tabs->setCurrentIndex(0);
    QVERIFY(!o.Timer->isActive());
  }

  void linkColours() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    o.show();
    QLabel* link = o.lb_homepage;
    const QColor red(255, 0, 0), blue(0, 0, 255);
    const QPoint inside(5, 5), outside(link->width() + 10, 5);
    QCOMPARE(o.lbHomepageForeColor(), blue);

    sendMouse(link, QEvent::MouseButtonPress, inside, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(o.lbHomepageForeColor(), red);
    sendMouse(link, QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(o.lbHomepageForeColor(), blue);
    sendMouse(link, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(o.lbHomepageForeColor(), red);
    sendMouse(link, QEvent::MouseMove, QPoint(5, -1), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(o.lbHomepageForeColor(), blue);
    // With both buttons held nothing changes.
    sendMouse(link, QEvent::MouseMove, inside, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(o.lbHomepageForeColor(), blue);
    // Released outside: blue, and no page opens.
    sendMouse(link, QEvent::MouseButtonRelease, outside, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(o.lbHomepageForeColor(), blue);
    QVERIFY(fixture.launcher->openedUrls.isEmpty());

    // A right press turns it red too; a click opens the web address and the dialog stays.
    sendMouse(link, QEvent::MouseButtonPress, inside, Qt::RightButton, Qt::RightButton);
    QCOMPARE(o.lbHomepageForeColor(), red);
    sendMouse(link, QEvent::MouseButtonRelease, inside, Qt::RightButton, Qt::NoButton);
    QCOMPARE(o.lbHomepageForeColor(), blue);
    fixture.launcher->succeed = false;  // a browser that does not start changes nothing
    QTest::mouseClick(link, Qt::LeftButton, {}, inside);
    QCOMPARE(fixture.launcher->openedUrls, QList<QUrl>{QUrl(TextTables::WebAddress)});
    QCOMPARE(o.lbHomepageForeColor(), blue);
    QVERIFY(o.isVisible());
  }

  void drag_data() {
    QTest::addColumn<bool>("byTitle");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::MouseButtons>("held");
    QTest::addColumn<bool>("moves");
    QTest::newRow("title, left") << true << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton) << true;
    QTest::newRow("background, left") << false << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton) << true;
    QTest::newRow("title, right") << true << Qt::RightButton << Qt::MouseButtons(Qt::RightButton) << false;
    QTest::newRow("background, both")
        << false << Qt::LeftButton << Qt::MouseButtons(Qt::LeftButton | Qt::RightButton) << false;
  }

  void drag() {
    QFETCH(bool, byTitle);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::MouseButtons, held);
    QFETCH(bool, moves);
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    o.move(100, 80);
    o.show();
    QVERIFY(QTest::qWaitForWindowExposed(&o));
    const QPoint start = o.pos();
    // The title, or a strip of bare background between the title and the tabs.
    QWidget* handle = byTitle ? static_cast<QWidget*>(o.title) : static_cast<QWidget*>(&o);
    const QPoint press = byTitle ? QPoint(20, 5) : QPoint(100, 27);
    QVERIFY(byTitle || o.childAt(press) == nullptr);
    sendMouse(handle, QEvent::MouseButtonPress, press, button, held);
    sendMouse(handle, QEvent::MouseMove, press + QPoint(30, 12), Qt::NoButton, held);
    QCOMPARE(o.pos(), moves ? start + QPoint(30, 12) : start);
  }

  void mainWindowDisabledWhileActive() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    QVERIFY(p.frm_main()->isEnabled());
    p.frm_main()->Logo_Click();
    o.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&o));
    QTRY_VERIFY_WITH_TIMEOUT(!p.frm_main()->isEnabled(), 2000);
    o.CMD_Cancel_Click();
    QVERIFY(p.frm_main()->isEnabled());
    QVERIFY(p.frm_main()->isVisible());
    QVERIFY(o.isHidden());
  }

  // The window system may deliver the dialog's activation (or focus) after a quick Cancel or OK has hidden
  // it, or the dialog may go some other way than its buttons: the main window is never left disabled.
  void lateActivationNeverLocksTheMainWindow() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmOption& o = *p.frm_option();
    p.frm_main()->show();
    for (const bool ok : {false, true}) {
      p.frm_main()->Logo_Click();
      o.CMD_ToggleLang_Click();
      if (ok)
        o.CMD_OK_Click();
      else
        o.CMD_Cancel_Click();
      QVERIFY(o.isHidden());
      QEvent activate(QEvent::WindowActivate);
      QApplication::sendEvent(&o, &activate);
      QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
      QApplication::sendEvent(o.CMD_Cancel, &focus);
      QVERIFY(p.frm_main()->isEnabled());
    }
    // Hidden by other means while it held the main window back.
    p.frm_main()->Logo_Click();
    o.Form_Activate();
    QVERIFY(!p.frm_main()->isEnabled());
    o.hide();
    QVERIFY(p.frm_main()->isEnabled());
    // The full-screen window holds it back too: hiding the dialog then leaves it disabled.
    p.frm_full()->show();
    QVERIFY(!p.frm_main()->isEnabled());
    p.frm_main()->Logo_Click();
    o.Form_Activate();
    o.hide();
    QVERIFY(!p.frm_main()->isEnabled());
    p.frm_full()->hide();
    QVERIFY(p.frm_main()->isEnabled());
  }
};

QTEST_MAIN(TestPreferences)
#include "test_preferences.moc"
