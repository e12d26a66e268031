// Applying the interface: captions of every window in the current language, the file-type box and the help
// page back to their first state, the toggle button's caption pairs, stacking and pointers.
#include "app/about_text.h"
#include "app/frm_splash.h"
#include "controls/dir_list.h"
#include "controls/drive_box.h"
#include "controls/file_list.h"
#include "controls/fit_label.h"
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

using Captions = QList<std::pair<QString, QString>>;  // control name, caption

// Every caption the interface sets, in the order it sets them, with the current table entry it takes.
Captions captions(const Program& p) {
  Captions c;
  c << std::pair{QStringLiteral("splash Label2"), p.frm_splash()->Label2->text()}
    << std::pair{QStringLiteral("splash Label1"), p.frm_splash()->Label1->text()};
  const FrmMain& m = *p.frm_main();
  c << std::pair{QStringLiteral("main caption"), m.windowTitle()}
    << std::pair{QStringLiteral("main title"), m.title->text()}
    << std::pair{QStringLiteral("fr_file"), m.fr_file->title()}
    << std::pair{QStringLiteral("fr_control"), m.fr_control->title()}
    << std::pair{QStringLiteral("fr_status"), m.fr_status->title()}
    << std::pair{QStringLiteral("fr_picture"), m.fr_picture->title()}
    << std::pair{QStringLiteral("state"), m.state->text()}
    << std::pair{QStringLiteral("fr_favor"), m.fr_favor->title()}
    << std::pair{QStringLiteral("lb_sz"), m.lb_sz->text()};
  const FrmOption& o = *p.frm_option();
  c << std::pair{QStringLiteral("option title"), o.title->text()};
  for (int tab = 0; tab < 4; ++tab)
    c << std::pair{QStringLiteral("tab %1").arg(tab + 1), o.Tabs->tabText(tab)};
  c << std::pair{QStringLiteral("lb_gernel"), o.lb_gernel->text()}
    << std::pair{QStringLiteral("Label1"), o.Label1->text()}
    << std::pair{QStringLiteral("Label5"), o.Label5->text()}
    << std::pair{QStringLiteral("Label2"), o.Label2->text()}
    << std::pair{QStringLiteral("fr_media"), o.fr_media->title()};
  for (int i = 0; i < 7; ++i) c << std::pair{QStringLiteral("Check(%1)").arg(i), o.Check[i]->text()};
  c << std::pair{QStringLiteral("fr_short"), o.fr_short->title()}
    << std::pair{QStringLiteral("Option1"), o.Option1->text()}
    << std::pair{QStringLiteral("Option2"), o.Option2->text()}
    << std::pair{QStringLiteral("Label6"), o.Label6->text()}
    << std::pair{QStringLiteral("lb_about"), o.lb_about->text()}
    << std::pair{QStringLiteral("Label3"), o.Label3->text()}
    << std::pair{QStringLiteral("CMD_OK"), o.CMD_OK->text()}
    << std::pair{QStringLiteral("CMD_Cancel"), o.CMD_Cancel->text()}
    << std::pair{QStringLiteral("CMD_Apply"), o.CMD_Apply->text()}
    << std::pair{QStringLiteral("fr_interface"), o.fr_interface->title()};
  c << std::pair{QStringLiteral("full fr_control"), p.frm_full()->fr_control->title()};
  const FrmDummy& d = *p.frm_dummy();
  const QAction* items[] = {d.mnu_addflist, d.mnu_delete,  d.mnu_removelist, d.mnu_newlist,  d.mnu_openlist,
                            d.mnu_savelist, d.mnu_paste,   d.mnu_fullscr,    d.mnu_openwith, d.mnu_savebitmap,
                            d.mnu_return,   d.mnu_control, d.mnu_prev,       d.mnu_Next};
  for (int i = 0; i < 14; ++i) c << std::pair{QStringLiteral("menu %1").arg(i + 2), items[i]->text()};
  return c;
}

// The same controls' captions as the tables of one language give them.
QStringList expectedCaptions(const TextTables& t, bool zh) {
  const auto& splash = zh ? t.SplashText_zh : t.SplashText_en;
  const auto& main = zh ? t.MainText_zh : t.MainText_en;
  const auto& pref = zh ? t.PrefText_zh : t.PrefText_en;
  const auto& menu = zh ? t.MenuText_zh : t.MenuText_en;
  QStringList e{splash[1], splash[2]};
  for (int i = 1; i <= 9; ++i) e << main[i];
  for (int i = 1; i <= 7; ++i) e << pref[i];
  e << pref[22] << pref[9];  // Label5 takes entry 8 and then 22, the same text
  for (int i = 10; i <= 21; ++i) e << pref[i];
  for (int i = 24; i <= 29; ++i) e << pref[i];
  for (int i = 1; i <= 15; ++i) e << menu[i];
  return e;
}

QStringList texts(const Captions& c) {
  QStringList t;
  for (const auto& entry : c) t << entry.second;
  return t;
}

QStringList items(const QComboBox* box) {
  QStringList t;
  for (int i = 0; i < box->count(); ++i) t << box->itemText(i);
  return t;
}

QStringList items(const QListWidget* list) {
  QStringList t;
  for (int i = 0; i < list->count(); ++i) t << list->item(i)->text();
  return t;
}

// Everything ApplyInterface decides, in one comparable value.
QStringList state(const Program& p) {
  QStringList s = texts(captions(p));
  s << items(p.frm_main()->cmb_filter) << QString::number(p.frm_main()->cmb_filter->currentIndex())
    << p.frm_main()->File->Pattern() << items(p.frm_option()->lst_help)
    << QString::number(p.frm_option()->lst_help->currentRow()) << p.frm_option()->txt_help->toPlainText()
    << p.frm_option()->txt_about->text();
  return s;
}

// The text box keeps the lines of a help text; it hands them back ended by a bare line feed.
QString shown(QString body) { return body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QPushButton* toggleButton(Program& p) {
  if (!p.frm_full()->CMD_Toggle) p.frm_full()->CMD_Toggle = new QPushButton(p.frm_full());
  return p.frm_full()->CMD_Toggle;
}

}  // namespace

class TestInterface : public QObject {
  Q_OBJECT

 private slots:
  void applyTwiceEqualsOnce_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
  }

  void applyTwiceEqualsOnce() {
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    Program& p = fixture.start();
    const QString all_known = p.frm_main()->File->Pattern();
    // What the user may have changed since: another file type and another help topic.
    p.frm_main()->selectFilter(5);
    QVERIFY(p.frm_main()->File->Pattern() != all_known);
    p.frm_option()->lst_help->setCurrentRow(3);
    p.setUseChinese(chinese);

    p.ApplyInterface();
    const QStringList once = state(p);
    p.ApplyInterface();
    QCOMPARE(state(p), once);

    const TextTables& t = p.tables();
    QCOMPARE(texts(captions(p)), expectedCaptions(t, chinese));
    QCOMPARE(p.frm_main()->cmb_filter->count(), 17);
    QCOMPARE(p.frm_main()->cmb_filter->currentIndex(), 2);
    QCOMPARE(p.frm_main()->cmb_filter->currentText(), (chinese ? t.FilterText_zh : t.FilterText_en)[3]);
    QCOMPARE(p.frm_main()->File->Pattern(), all_known);
    const QListWidget* help = p.frm_option()->lst_help;
    QCOMPARE(help->count(), 6);
    QCOMPARE(help->currentRow(), 0);
    QCOMPARE(help->item(5)->text(), (chinese ? t.HelpTitle_zh : t.HelpTitle_en)[6]);
    QCOMPARE(p.frm_option()->txt_help->toPlainText(), shown((chinese ? t.HelpBody_zh : t.HelpBody_en)[1]));
    QCOMPARE(p.frm_option()->txt_about->text(), aboutText(chinese, p.crlf));
  }

  void chineseChangesEveryCaptionButTheLink() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    const Captions english = captions(p);
    const QString link = p.frm_option()->lb_homepage->text();
    QCOMPARE(texts(english), expectedCaptions(p.tables(), false));

    p.setUseChinese(true);
    p.ApplyInterface();
    const Captions chinese = captions(p);
    QCOMPARE(chinese.size(), english.size());
    for (qsizetype i = 0; i < chinese.size(); ++i) {
      // Entries that are the same in both languages would hide a caption the interface forgot.
      QVERIFY2(chinese[i].second != english[i].second, qPrintable(chinese[i].first));
    }
    QCOMPARE(p.frm_option()->lb_homepage->text(), link);
    QCOMPARE(items(p.frm_main()->cmb_filter).mid(1, 16),
             QStringList(p.tables().FilterText_zh.begin() + 2, p.tables().FilterText_zh.end()));

    p.setUseChinese(false);
    p.ApplyInterface();
    QCOMPARE(captions(p), english);
  }

  void toggleCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("expected");
    QTest::newRow("drive to Chinese") << u"&Drive"_s << true << u"磁碟機 (&D)"_s;
    QTest::newRow("folder to Chinese") << u"&Folder"_s << true << u"資料夾 (&F)"_s;
    QTest::newRow("file to Chinese") << u"&File"_s << true << u"檔案 (&F)"_s;
    QTest::newRow("Chinese folder to English") << u"資料夾 (&F)"_s << false << u"&Folder"_s;
    QTest::newRow("Chinese drive to English") << u"磁碟機 (&D)"_s << false << u"&Drive"_s;
    QTest::newRow("Chinese file to English") << u"檔案 (&F)"_s << false << u"&File"_s;
    QTest::newRow("already English") << u"&File"_s << false << u"&File"_s;
    QTest::newRow("already Chinese") << u"磁碟機 (&D)"_s << true << u"磁碟機 (&D)"_s;
    QTest::newRow("no access key matches none") << u"File"_s << true << u"File"_s;
    QTest::newRow("other caption") << u"Close"_s << true << u"Close"_s;
    QTest::newRow("empty") << QString() << true << QString();
  }

  void toggleCaption() {
    QFETCH(QString, caption);
    QFETCH(bool, chinese);
    QFETCH(QString, expected);
    QCOMPARE(TextTables::toggleTextIn(caption, chinese), expected);

    ProgramFixture fixture;
    Program& p = fixture.start();
    QPushButton* button = toggleButton(p);
    button->setText(caption);
    p.setUseChinese(chinese);
    p.ApplyInterface();
    QCOMPARE(button->text(), expected);
  }

  void stackingKeepsPlaceAndActivation_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("off") << 0 << false;
    QTest::newRow("on") << 1 << true;
  }

  void stackingKeepsPlaceAndActivation() {
    QFETCH(int, value);
    QFETCH(bool, onTop);
    ProgramFixture fixture;
    Program& p = fixture.start();
    p.frm_main()->move(40, 30);
    p.frm_main()->show();
    p.frm_option()->show();
    p.frm_option()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.frm_option()));
    // Start from the other layer so that the change really happens.
    p.frm_option()->setCheckValue(6, 1 - value);
    p.ApplyInterface();
    const QRect main_place = p.frm_main()->geometry();
    const QRect option_place = p.frm_option()->geometry();
    // The native windows stay the same ones: none is destroyed and made again.
    const QWindow* main_handle = p.frm_main()->windowHandle();
    const WId main_id = p.frm_main()->winId();
    const WId option_id = p.frm_option()->winId();
    QSignalSpy main_active(p.frm_main()->windowHandle(), &QWindow::activeChanged);

    p.frm_option()->setCheckValue(6, value);
    p.ApplyInterface();
    QCOMPARE(p.frm_main()->windowHandle(), main_handle);
    QCOMPARE(p.frm_main()->winId(), main_id);
    QCOMPARE(p.frm_option()->winId(), option_id);
    QCOMPARE(p.frm_main()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    QCOMPARE(p.frm_option()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    for (QWidget* window : {static_cast<QWidget*>(p.frm_main()), static_cast<QWidget*>(p.frm_option()),
                            static_cast<QWidget*>(p.frm_full())})
      QCOMPARE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    QVERIFY(p.frm_main()->isVisible());
    QVERIFY(p.frm_option()->isVisible());
    QVERIFY(!p.frm_full()->isVisible());  // never shows a window that was hidden
    QCOMPARE(p.frm_main()->geometry(), main_place);
    QCOMPARE(p.frm_option()->geometry(), option_place);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget*>(p.frm_option()), 2000);
    QVERIFY(main_active.isEmpty());
    // A hidden window changed now keeps the layer when it shows.
    p.frm_full()->show();
    QCOMPARE(p.frm_full()->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    p.frm_full()->hide();

    // A greyed box leaves the layer alone.
    p.frm_option()->setCheckValue(6, 2);
    p.ApplyInterface();
    QCOMPARE(p.frm_main()->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
  }

  void pointers_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<Qt::CursorShape>("shape");
    QTest::newRow("own cursors") << 1 << Qt::BitmapCursor;
    QTest::newRow("arrow") << 0 << Qt::ArrowCursor;
  }

  void pointers() {
    QFETCH(int, value);
    QFETCH(Qt::CursorShape, shape);
    ProgramFixture fixture;
    Program& p = fixture.start();
    p.frm_option()->setCheckValue(4, value);
    p.ApplyInterface();
    QCOMPARE(p.frm_main()->cursor().shape(), shape);
    QCOMPARE(p.frm_option()->cursor().shape(), shape);
    QCOMPARE(p.frm_full()->cursor().shape(), shape);
  }

  // In both languages every caption the small controls carry is whole: "All known formats" beside the
  // combo box's arrow, a 24-megapixel size and "100%", three favourites in the list's height (the help
  // titles: test_preferences).
  void smallControlsShowTheirTextsWhole_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
  }

  void smallControlsShowTheirTextsWhole() {
    QFETCH(bool, chinese);
    ProgramFixture fixture;
    Program& p = fixture.start();
    p.setUseChinese(chinese);
    p.ApplyInterface();
    FrmMain& m = *p.frm_main();
    m.show();
    p.frm_option()->show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));

    QComboBox* box = m.cmb_filter;
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = false;
    const QRect field =
        box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    QCOMPARE(box->currentIndex(), 2);  // what the box shows after every apply: all known formats
    QVERIFY2(box->fontMetrics().horizontalAdvance(box->currentText()) <= field.width(),
             qPrintable(box->currentText()));

    for (const auto& [label, text] : {std::pair{m.lb_size, QStringLiteral("6000x4000")},
                                      std::pair{m.lb_percent, QStringLiteral("100%")}}) {
      auto* fit = dynamic_cast<FitLabel*>(label);
      QVERIFY(fit);
      fit->setText(text);
      QVERIFY2(QFontMetrics(fit->fittedFont()).horizontalAdvance(text) <= fit->contentsRect().width(),
               qPrintable(text));
    }

    m.replaceFavourites({QStringLiteral("/p/favourite_0.bmp"), QStringLiteral("/p/favourite_1.bmp"),
                         QStringLiteral("/p/favourite_2.bmp")});
    QVERIFY(m.List->visualItemRect(m.List->item(2)).bottom() < m.List->viewport()->height());
  }

  // A screen reader tells each control of the main window apart, by a name and a description in the language
  // the interface shows; they change with it.
  void controlsHaveAccessibleNamesInTheLanguage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmMain& m = *p.frm_main();
    const QList<QWidget*> controls{m.cmd_prev, m.cmd_next,  m.cmd_back, m.cmd_ff, m.cmd_play,   m.cmd_pause,
                                   m.cmd_stop, m.cmd_eject, m.cmd_spk,  m.Slider, m.cmd_up,     m.cmd_down,
                                   m.List,     m.File,      m.Dir,      m.Drive,  m.cmb_filter, m.Img,
                                   m.Logo,     m.cmd_min,   m.cmd_close};
    QStringList english;
    for (const bool chinese : {false, true}) {
      p.setUseChinese(chinese);
      p.ApplyInterface();
      QSet<QString> names;
      for (QWidget* control : controls) {
        QVERIFY(!control->accessibleName().isEmpty());
        QVERIFY(!control->accessibleDescription().isEmpty());
        names.insert(control->accessibleName());
        if (!chinese) english << control->accessibleName();
      }
      QCOMPARE(names.size(), controls.size());
    }
    for (qsizetype i = 0; i < controls.size(); ++i) QVERIFY(controls[i]->accessibleName() != english[i]);
    QCOMPARE(english.first(), QStringLiteral("Previous file"));
    QCOMPARE(m.cmd_close->accessibleName(), QStringLiteral("關閉"));
  }
};

QTEST_MAIN(TestInterface)
#include "test_interface.moc"
