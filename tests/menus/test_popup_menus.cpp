// The popup menus: item states at each popping, deleting a file, saving the picture as a bitmap.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "controls/picture_box.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString& path) {
  QFile file(path);
  file.open(QIODevice::WriteOnly);
}

struct Opened {
  ProgramFixture fixture;
  QTemporaryDir folder;
  FrmMain* m = nullptr;
  FrmDummy* d = nullptr;

  Opened() {
    Program& program = fixture.start();
    m = program.frm_main;
    d = program.frm_dummy;
    program.frm_option->setCheckValue(3, 0);  // selecting opens nothing unless a test asks
  }
  void enter(const QStringList& files) {
    for (const QString& name : files) touch(folder.filePath(name));
    QVERIFY(m->Dir->setPath(folder.path()));
    m->File->setPattern(QStringLiteral("*.*"));
  }
};

}  // namespace

class TestPopupMenus : public QObject {
  Q_OBJECT

 private slots:
  void favouritesMenuStates_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("newAndSave");
    QTest::newRow("empty") << 0 << -1 << false << false;
    QTest::newRow("entries, no selection") << 2 << -1 << false << true;
    QTest::newRow("entries, selection") << 2 << 1 << true << true;
  }

  void favouritesMenuStates() {
    QFETCH(int, entries);
    QFETCH(int, selected);
    QFETCH(bool, remove);
    QFETCH(bool, newAndSave);
    QByteArray list;
    for (int i = 0; i < entries; ++i) list += "/f/" + QByteArray::number(i) + ".wav\r\n";
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), list);
    Program& program = fixture.start();
    program.frm_option->setCheckValue(3, 0);
    program.frm_main->List->setCurrentRow(selected);
    // Stale states from an earlier popping must not survive.
    program.frm_dummy->mnu_removelist->setEnabled(!remove);
    program.frm_dummy->mnu_openlist->setEnabled(true);
    program.frm_main->List_MouseDown(2, 0, 1, 1);
    QCOMPARE(fixture.poppedMenus.value(0), program.frm_dummy->mnu_list);
    QCOMPARE(program.frm_dummy->mnu_removelist->isEnabled(), remove);
    QCOMPARE(program.frm_dummy->mnu_newlist->isEnabled(), newAndSave);
    QCOMPARE(program.frm_dummy->mnu_savelist->isEnabled(), newAndSave);
    QVERIFY(program.frm_dummy->mnu_openlist->isEnabled());
  }

  void pictureMenuOpenWithFollowsTheCurrentFile() {
    Opened o;
    o.m->cur_file.clear();
    o.m->Img_MouseDown(2, 0, 1, 1);
    QCOMPARE(o.fixture.poppedMenus.value(0), o.d->mnu_img);
    QVERIFY(!o.d->mnu_openwith->isEnabled());
    QVERIFY(o.d->mnu_paste->isEnabled());
    o.m->cur_file = QStringLiteral("/p/a.jpg");
    o.m->Img_MouseDown(2, 0, 1, 1);
    QVERIFY(o.d->mnu_openwith->isEnabled());
  }

  void deleteAsksAndDeletesOnOk_data() {
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("ok") << QMessageBox::Ok << true;
    QTest::newRow("cancel") << QMessageBox::Cancel << false;
  }

  void deleteAsksAndDeletesOnOk() {
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(bool, deleted);
    Opened o;
    o.enter({QStringLiteral("a.wav"), QStringLiteral("b.wav")});
    o.m->File->setListIndex(1);
    o.fixture.messageBoxes->answers.push_back(answer);
    o.d->mnu_delete_Click();
    const QString path =
        QDir::toNativeSeparators(o.folder.path()) + QDir::separator() + QStringLiteral("b.wav");
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 1);
    const auto& call = o.fixture.messageBoxes->calls[0];
    QCOMPARE(call.prompt, QStringLiteral("Delete file ") + path + QStringLiteral("?"));
    QCOMPARE(call.title, QStringLiteral("Warning!!"));
    QCOMPARE(call.icon, QMessageBox::Warning);
    QCOMPARE(call.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(call.defaultButton, QMessageBox::Ok);
    QCOMPARE(QFile::exists(path), !deleted);
    QCOMPARE(o.m->File->ListCount(), deleted ? 1 : 2);
  }

  void deleteInChineseUsesTheChineseTexts() {
    Opened o;
    o.enter({QStringLiteral("a.wav")});
    o.fixture.program->use_chinese = true;
    o.m->File->setListIndex(0);
    o.fixture.messageBoxes->answers.push_back(QMessageBox::Cancel);
    o.d->mnu_delete_Click();
    QVERIFY(o.fixture.messageBoxes->calls[0].prompt.startsWith(QStringLiteral("刪除 ")));
    QVERIFY(o.fixture.messageBoxes->calls[0].prompt.endsWith(QStringLiteral("？")));
    QCOMPARE(o.fixture.messageBoxes->calls[0].title, QStringLiteral("警告！！"));
  }

  void deleteOfAFileAlreadyGoneSaysWhyAndRefreshes() {
    Opened o;
    o.enter({QStringLiteral("a.wav"), QStringLiteral("b.wav")});
    o.m->File->setListIndex(0);
    QVERIFY(QFile::remove(o.folder.filePath(QStringLiteral("a.wav"))));
    o.d->mnu_delete_Click();  // OK is the default answer
    QCOMPARE(o.fixture.messageBoxes->calls.size(), 2);
    QCOMPARE(o.fixture.messageBoxes->calls[1].icon, QMessageBox::Critical);
    QVERIFY(o.fixture.messageBoxes->calls[1].prompt.contains(QStringLiteral("a.wav")));
    QCOMPARE(o.m->File->ListCount(), 1);
    QCOMPARE(o.m->File->List(0), QStringLiteral("b.wav"));
  }

  void saveToBitmapWritesThePictureBack() {
    Opened o;
    const QImage source = picture_gen::Quadrants(QSize(40, 30));
    const QString jpeg = o.folder.filePath(QStringLiteral("q.bmp"));
    QVERIFY(picture_gen::WriteFile(jpeg, picture_gen::MakeBmp(source)));
    o.m->FileOpen(jpeg);
    QVERIFY(!o.m->Img->picture().isNull());
    const QString target = o.folder.filePath(QStringLiteral("saved"));
    o.fixture.fileDialogs->answers.push_back(target);
    o.d->mnu_savebitmap_Click();
    QCOMPARE(o.fixture.fileDialogs->calls.size(), 1);
    QVERIFY(o.fixture.fileDialogs->calls[0].save);
    QCOMPARE(o.fixture.fileDialogs->calls[0].title, QStringLiteral("Save to a bitmap file"));
    QImageReader reader(target + QStringLiteral(".bmp"));
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage back = reader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(back, source.convertToFormat(QImage::Format_RGB32));
    QVERIFY(o.fixture.messageBoxes->calls.isEmpty());
  }

  void saveToBitmapWritesNothingOnCancelOrWithoutPicture() {
    Opened o;
    o.d->mnu_savebitmap_Click();  // cancelled: the fake dialog has no answer
    const QString target = o.folder.filePath(QStringLiteral("none.bmp"));
    o.fixture.fileDialogs->answers.push_back(target);
    o.d->mnu_savebitmap_Click();  // no picture shown
    QVERIFY(!QFile::exists(target));
    QVERIFY(o.fixture.messageBoxes->calls.isEmpty());
  }
};

QTEST_MAIN(TestPopupMenus)
#include "test_popup_menus.moc"
