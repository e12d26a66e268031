// The program's fonts under a Traditional Chinese locale, where the desktop's sans serif is a CJK face: Latin
// text and file names in a Latin face, their underscores inside their rows; Chinese in a CJK face with a
// bold of its own.
#include "app/look.h"
#include "controls/fit_label.h"
#include "main_window/frm_main.h"
#include "program_fixture.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QListWidget>
#include <QTest>
#include <QTextLayout>
#include <QtMath>

namespace {

bool writesChinese(const QString& family) {
  return QFontDatabase::writingSystems(family).contains(QFontDatabase::TraditionalChinese);
}

// The one face `text` is drawn in with `font`; an invalid one where it takes several.
QRawFont faceOf(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  return runs.size() == 1 ? runs.first().rawFont() : QRawFont();
}

// How far below the baseline an underscore reaches, in whole pixels.
int underscoreDepth(const QRawFont& face) {
  return qCeil(face.boundingRect(face.glyphIndexesForString(QStringLiteral("_")).value(0)).bottom());
}

}  // namespace

class TestFonts : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(writesChinese(QFontInfo(QGuiApplication::font()).family()), "no CJK sans serif under zh_TW");
    look::useProgramFonts();
  }

  // A file name in a Latin face; at the file list's size its underscore inside the line box, the row's
  // height. The favourites' 10-pixel rows are no taller than their text: there the name is placed so that
  // the underscore stays in its row, where the row below cannot paint over it.
  void fileNamesInALatinFaceWithTheirUnderscores() {
    QFont font = QGuiApplication::font();
    font.setPixelSize(11);
    const QRawFont face = faceOf(QStringLiteral("aaa_del2.bmp"), font);
    QVERIFY(face.isValid());
    QVERIFY2(!writesChinese(face.familyName()), qPrintable(face.familyName()));
    QVERIFY(underscoreDepth(face) <= QFontMetrics(font).descent());

    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), "/music/aaa_del2.bmp\r\n/music/b_c.bmp\r\n");
    QListWidget& list = *fixture.start().frm_main()->List;
    list.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(list.window()));
    auto* rows = dynamic_cast<InkRowDelegate*>(list.itemDelegate());
    QVERIFY(rows);
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.widget = &list;
    option.font = list.font();
    option.rect = list.visualItemRect(list.item(0));
    const int bottom = rows->baseline(option, list.model()->index(0, 0)) +
                       underscoreDepth(faceOf(list.item(0)->text(), list.font())) - 1;
    QVERIFY2(bottom <= option.rect.bottom(), qPrintable(QString::number(bottom - option.rect.bottom())));
  }

  // Chinese in a CJK face; bold Chinese in that face's own bold, not a thickened regular.
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
    const QRawFont face = faceOf(QStringLiteral("關於幫助"), font);
    QVERIFY(face.isValid());
    QVERIFY2(writesChinese(face.familyName()), qPrintable(face.familyName()));
    QCOMPARE(QFontDatabase::weight(face.familyName(), face.styleName()) >= QFont::Bold, bold);
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
