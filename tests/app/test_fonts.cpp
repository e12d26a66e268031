// The program's fonts under a Traditional Chinese locale, where the desktop's sans serif is a CJK face: Latin
// text and file names in a Latin face with every character inside the row, Chinese in a CJK face, bold
// Chinese in a real bold face.
#include "app/look.h"
#include "controls/fit_label.h"
#include "main_window/frm_main.h"
#include "program_fixture.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QListWidget>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>
#include <QtMath>

namespace {

bool writesChinese(const QString& family) {
  return QFontDatabase::writingSystems(family).contains(QFontDatabase::TraditionalChinese);
}

// The faces `text` is drawn in with `font`, one glyph run a face.
QList<QRawFont> facesOf(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  QList<QRawFont> faces;
  for (const QGlyphRun& run : layout.glyphRuns()) faces << run.rawFont();
  return faces;
}

}  // namespace

class TestFonts : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(writesChinese(QFontInfo(QGuiApplication::font()).family()),
             "the desktop's sans serif is expected to be the CJK face under zh_TW");
    look::useProgramFonts();
  }

  // Latin text, a file name among it, is drawn in one Latin face, and at the lists' size its underscore lies
  // inside the line box, which is what a list row gives it.
  void latinInALatinFace() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    const QList<QRawFont> faces = facesOf(QStringLiteral("aaa_del2.bmp"), font);
    QCOMPARE(faces.size(), 1);
    QVERIFY2(!writesChinese(faces.first().familyName()), qPrintable(faces.first().familyName()));
    const QFontMetrics metrics(font);
    const QRectF underscore =
        faces.first().boundingRect(faces.first().glyphIndexesForString(QStringLiteral("_")).value(0));
    QVERIFY2(underscore.bottom() <= metrics.descent(),
             qPrintable(QStringLiteral("the underscore reaches %1 below the line, the row %2")
                            .arg(underscore.bottom())
                            .arg(metrics.descent())));
  }

  // The favourites' rows are as tall as their 10-pixel text: a name's underscore stays inside its row, where
  // the row below cannot paint over it.
  void favouritesKeepTheirUnderscores() {
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), "/music/aaa_del2.bmp\r\n/music/b_c.bmp\r\n");
    Program& program = fixture.start();
    QListWidget& list = *program.frm_main->List;
    program.frm_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(program.frm_main));
    auto* rows = dynamic_cast<InkRowDelegate*>(list.itemDelegate());
    QVERIFY(rows);
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.widget = &list;
    option.font = list.font();
    option.rect = list.visualItemRect(list.item(0));
    const QModelIndex first = list.model()->index(0, 0);
    const QRawFont face = facesOf(list.item(0)->text(), list.font()).value(0);
    const QRectF underscore = face.boundingRect(face.glyphIndexesForString(QStringLiteral("_")).value(0));
    const int bottom = rows->baseline(option, first) + qCeil(underscore.bottom()) - 1;
    QVERIFY2(bottom <= option.rect.bottom(),
             qPrintable(QStringLiteral("the underscore's last row %1, the row's %2")
                            .arg(bottom)
                            .arg(option.rect.bottom())));
  }

  // Chinese is drawn in a CJK face; bold Chinese in that face's own bold, not a thickened regular.
  void chineseInACjkFaceWithItsBold_data() {
    QTest::addColumn<bool>("bold");
    QTest::newRow("regular") << false;
    QTest::newRow("bold") << true;
  }

  void chineseInACjkFaceWithItsBold() {
    QFETCH(bool, bold);
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    font.setBold(bold);
    const QList<QRawFont> faces = facesOf(QStringLiteral("關於幫助"), font);
    QCOMPARE(faces.size(), 1);
    const QRawFont& face = faces.first();
    QVERIFY2(writesChinese(face.familyName()), qPrintable(face.familyName()));
    const int weight = QFontDatabase::weight(face.familyName(), face.styleName());
    if (bold)
      QVERIFY2(weight >= QFont::Bold, qPrintable(face.familyName() + QLatin1Char(' ') + face.styleName()));
    else
      QVERIFY(weight < QFont::Bold);
  }
};

int main(int argc, char* argv[]) {
  // The locale of a Taiwanese user, before anything reads it (fontconfig takes its language from it).
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES", "LANGUAGE", "FC_LANG"}) qunsetenv(name);
  qputenv("LANG", "zh_TW.UTF-8");
  QApplication application(argc, argv);
  TestFonts test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_fonts.moc"
