// Favourites: add, remove, move, open on click, the list menu and its New / Open / Save commands.
#include "controls/dir_list.h"
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "platform/common_dialog.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Button = QMessageBox::StandardButton;

QStringList listTexts(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QStringList favPaths(const Program& program) { return program.frm_main()->FavPath(); }

QByteArray listBytes(const QStringList& paths) {
  QByteArray bytes;
  for (const QString& path : paths) bytes += QFile::encodeName(path) + "\r\n";
  return bytes;
}

QByteArray readBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

QStringList songs(int count) {
  QStringList paths;
  for (int i = 0; i < count; ++i)
    paths << QDir::separator() + QStringLiteral("music") + QDir::separator() +
                 QStringLiteral("song%1.wav").arg(i);
  return paths;
}

}  // namespace

class TestFavourites : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir media_;  // a.bmp, b.bmp, c.bmp: real pictures, so opening one shows in cur_file
  QTemporaryDir lists_;  // list files the dialogs answer with

  QString folder() const { return QDir::toNativeSeparators(media_.path()); }
  QString pic(const QString& name) const { return folder() + QDir::separator() + name; }
  QStringList pics(const QStringList& names) const {
    QStringList paths;
    for (const QString& name : names) paths << pic(name);
    return paths;
  }
  QString listPath(const QString& name) const { return QDir::toNativeSeparators(lists_.filePath(name)); }

  // Starts a program whose favourites are the given paths (from "default.lst").
  static Program& startWith(ProgramFixture& fixture, const QStringList& paths) {
    fixture.writeFile(QStringLiteral("default.lst"), listBytes(paths));
    return fixture.start();
  }

  void showFolder(Program& program) { QVERIFY(program.frm_main()->Dir->setPath(folder())); }

  static void selectFile(Program& program, const QString& name) {
    FileList* files = program.frm_main()->File;
    for (int i = 0; i < files->ListCount(); ++i) {
      if (files->List(i) == name) {
        files->setListIndex(i);
        return;
      }
    }
    QFAIL("file not listed");
  }

 private slots:
  void initTestCase() {
    const QByteArray bmp = picture_gen::MakeBmp(picture_gen::Quadrants(QSize(4, 4)));
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
      writeBytes(media_.filePath(QLatin1String(name)), bmp);
  }

  void addPutsTheFileAtTheTop() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    showFolder(program);
    selectFile(program, QStringLiteral("a.bmp"));
    program.frm_main()->File_DblClick();
    selectFile(program, QStringLiteral("b.bmp"));
    program.frm_main()->AddFList();
    selectFile(program, QStringLiteral("b.bmp"));
    program.frm_main()->AddFList();
    QCOMPARE(listTexts(program.frm_main()->List), (QStringList{"b.bmp", "b.bmp", "a.bmp"}));
    QCOMPARE(favPaths(program), pics({"b.bmp", "b.bmp", "a.bmp"}));
  }

  void addKeepsTheSelectionAndOpensNothing() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    showFolder(program);
    program.frm_main()->List->setCurrentRow(1);
    QCOMPARE(program.frm_main()->cur_file, pic("b.bmp"));
    selectFile(program, QStringLiteral("c.bmp"));
    program.frm_main()->cur_file.clear();
    program.frm_main()->AddFList();
    QCOMPARE(program.frm_main()->List->currentRow(), 2);
    QCOMPARE(program.frm_main()->cur_file, QString());
  }

  void addToAFullListIsRefused() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, songs(51));
    showFolder(program);
    selectFile(program, QStringLiteral("a.bmp"));
    // The menu offers no addition; a double click is refused, and the user hears why once, not every time.
    program.frm_main()->File_MouseDown(2, 0, 1, 1);
    QVERIFY(!program.frm_dummy()->mnu_addflist->isEnabled());
    program.frm_main()->File_DblClick();
    program.frm_main()->File_DblClick();
    QCOMPARE(favPaths(program), songs(51));
    QCOMPARE(program.frm_main()->List->item(0)->text(), QStringLiteral("song0.wav"));
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    QVERIFY(fixture.messageBoxes->calls[0].prompt.contains(QStringLiteral("51")));
  }

  void removeTheTop() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp", "c.bmp"}));
    program.frm_main()->List->setCurrentRow(0);
    program.frm_main()->cur_file.clear();
    program.frm_main()->List_DblClick();
    QCOMPARE(listTexts(program.frm_main()->List), (QStringList{"b.bmp", "c.bmp"}));
    QCOMPARE(favPaths(program), pics({"b.bmp", "c.bmp"}));
    // No neighbour is selected or opened in its place.
    QCOMPARE(program.frm_main()->List->currentRow(), -1);
    QCOMPARE(program.frm_main()->cur_file, QString());
    program.frm_main()->RemoveFList();  // nothing selected: nothing happens
    QCOMPARE(program.frm_main()->List->count(), 2);
    fixture.fileDialogs->answers.push_back(listPath(QStringLiteral("after-remove.lst")));
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(readBytes(listPath(QStringLiteral("after-remove.lst"))), listBytes(pics({"b.bmp", "c.bmp"})));
  }

  void moves_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("autoPlay");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("opened");
    const QStringList same{"a.bmp", "b.bmp", "c.bmp"};
    QTest::newRow("up on the top") << 0 << true << true << same << 0 << QString();
    QTest::newRow("down on the bottom") << 2 << false << true << same << 2 << QString();
    QTest::newRow("up, nothing selected") << -1 << true << true << same << -1 << QString();
    QTest::newRow("down, nothing selected") << -1 << false << true << same << -1 << QString();
    QTest::newRow("up re-opens") << 1 << true << true << QStringList{"b.bmp", "a.bmp", "c.bmp"} << 0
                                 << QStringLiteral("b.bmp");
    QTest::newRow("down re-opens") << 1 << false << true << QStringList{"a.bmp", "c.bmp", "b.bmp"} << 2
                                   << QStringLiteral("b.bmp");
    QTest::newRow("up, auto play off")
        << 2 << true << false << QStringList{"a.bmp", "c.bmp", "b.bmp"} << 1 << QString();
  }

  void moves() {
    QFETCH(int, row);
    QFETCH(bool, up);
    QFETCH(bool, autoPlay);
    QFETCH(QStringList, order);
    QFETCH(int, selected);
    QFETCH(QString, opened);
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp", "c.bmp"}));
    program.frm_option()->setCheckValue(3, autoPlay ? 1 : 0);
    program.frm_main()->List->setCurrentRow(row);
    program.frm_main()->cur_file.clear();
    if (up)
      program.frm_main()->cmd_up_Click();
    else
      program.frm_main()->cmd_down_Click();
    QCOMPARE(listTexts(program.frm_main()->List), order);
    QCOMPARE(favPaths(program), pics(order));
    QCOMPARE(program.frm_main()->List->currentRow(), selected);
    QCOMPARE(program.frm_main()->cur_file, opened.isEmpty() ? QString() : pic(opened));
  }

  void clickOpensWithAutoPlay_data() {
    QTest::addColumn<int>("autoPlay");
    QTest::addColumn<bool>("opens");
    QTest::newRow("on") << 1 << true;
    QTest::newRow("off") << 0 << false;
    QTest::newRow("greyed") << 2 << false;
  }

  void clickOpensWithAutoPlay() {
    QFETCH(int, autoPlay);
    QFETCH(bool, opens);
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    QVERIFY(program.frm_option()->setCheckValue(3, autoPlay));
    QCOMPARE(program.frm_main()->List->currentRow(), -1);
    program.frm_main()->List->setCurrentRow(1);
    QCOMPARE(program.frm_main()->cur_file, opens ? pic("b.bmp") : QString());
    QCOMPARE(program.frm_main()->from_favourites, opens);
  }

  void listMenuStates_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("newList");
    QTest::addColumn<bool>("save");
    QTest::newRow("empty") << 0 << -1 << false << false << false;
    QTest::newRow("entries, none selected") << 2 << -1 << false << true << true;
    QTest::newRow("entries, one selected") << 2 << 1 << true << true << true;
  }

  void listMenuStates() {
    QFETCH(int, entries);
    QFETCH(int, row);
    QFETCH(bool, remove);
    QFETCH(bool, newList);
    QFETCH(bool, save);
    ProgramFixture fixture;
    Program& program = startWith(fixture, songs(entries));
    FrmDummy* dummy = program.frm_dummy();
    program.frm_main()->List->setCurrentRow(row);
    // The popping handler sets every state itself, whatever the last popping left.
    for (QAction* item : {dummy->mnu_removelist, dummy->mnu_newlist, dummy->mnu_savelist})
      item->setEnabled(!item->isEnabled());
    program.frm_main()->List_MouseDown(1, 0, 5, 5);
    QVERIFY(fixture.poppedMenus.isEmpty());
    program.frm_main()->List_MouseDown(2, 0, 5, 5);
    QCOMPARE(fixture.poppedMenus, QList<QMenu*>{dummy->mnu_list});
    QCOMPARE(dummy->mnu_removelist->isEnabled(), remove);
    QCOMPARE(dummy->mnu_newlist->isEnabled(), newList);
    QCOMPARE(dummy->mnu_savelist->isEnabled(), save);
    QVERIFY(dummy->mnu_openlist->isEnabled());
  }

  void menuItemsRunTheirCommands() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    FrmDummy* dummy = program.frm_dummy();
    program.frm_main()->List->setCurrentRow(0);
    fixture.chooseMenuItem = dummy->mnu_removelist->text();
    program.frm_main()->List_MouseDown(2, 0, 5, 5);
    QCOMPARE(favPaths(program), pics({"b.bmp"}));
    fixture.chooseMenuItem = dummy->mnu_savelist->text();
    fixture.fileDialogs->answers.push_back(listPath(QStringLiteral("menu.lst")));
    program.frm_main()->List_MouseDown(2, 0, 5, 5);
    QCOMPARE(readBytes(listPath(QStringLiteral("menu.lst"))), listBytes(pics({"b.bmp"})));
    fixture.chooseMenuItem = dummy->mnu_newlist->text();
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    program.frm_main()->List_MouseDown(2, 0, 5, 5);
    QCOMPARE(program.frm_main()->List->count(), 0);
  }

  void newList_data() {
    QTest::addColumn<Button>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::addColumn<int>("saveDialogs");
    QTest::newRow("No") << QMessageBox::No << true << 0;
    QTest::newRow("Cancel") << QMessageBox::Cancel << false << 0;
    QTest::newRow("Yes, save dialog cancelled") << QMessageBox::Yes << true << 1;
  }

  void newList() {
    QFETCH(Button, answer);
    QFETCH(bool, cleared);
    QFETCH(int, saveDialogs);
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    program.frm_main()->from_favourites = false;
    fixture.messageBoxes->answers.push_back(answer);
    program.frm_dummy()->mnu_newlist_Click();
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    const auto& box = fixture.messageBoxes->calls[0];
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.title, QStringLiteral("Warning!!"));
    QCOMPARE(box.prompt, QStringLiteral("Save the favourite list?"));
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.defaultButton, QMessageBox::Yes);
    QCOMPARE(fixture.fileDialogs->calls.size(), saveDialogs);
    if (saveDialogs > 0) QVERIFY(fixture.fileDialogs->calls[0].save);
    if (cleared) {
      QCOMPARE(program.frm_main()->List->count(), 0);
      QVERIFY(program.frm_main()->FavPath().isEmpty());
    } else {
      QCOMPARE(favPaths(program), pics({"a.bmp", "b.bmp"}));
    }
    QVERIFY(!program.frm_main()->from_favourites);
  }

  void newOnAnEmptyListAsksNothing() {
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.frm_dummy()->mnu_newlist_Click();
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
    QVERIFY(fixture.fileDialogs->calls.isEmpty());
  }

  void openListFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const QByteArray two = listBytes(songs(2));
    QTest::newRow("60 lines open as 51") << listBytes(songs(60)) << songs(51);
    QTest::newRow("third line without separator") << two + "plain.wav\r\n" + listBytes(songs(3)) << songs(2);
    QTest::newRow("blank line") << two + "\r\n" + listBytes(songs(3)) << songs(2);
    QTest::newRow("empty file") << QByteArray() << QStringList();
  }

  void openListFile() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    const QString path = listPath(QStringLiteral("open.lst"));
    writeBytes(path, content);
    ProgramFixture fixture;
    Program& program = fixture.start();
    fixture.fileDialogs->answers.push_back(path);
    program.frm_dummy()->mnu_openlist_Click();
    // An empty list is not offered for saving: straight to the dialog.
    QVERIFY(fixture.messageBoxes->calls.isEmpty());
    QCOMPARE(fixture.fileDialogs->calls.size(), 1);
    const auto& dialog = fixture.fileDialogs->calls[0];
    QVERIFY(!dialog.save);
    QCOMPARE(dialog.title, QStringLiteral("Open a favourite list"));
    QCOMPARE(dialog.filter,
             CommonDialog::desktopFilter(program.tables().msg(TextTables::MsgListFilter, false)));
    QCOMPARE(program.frm_dummy()->CMD->DefaultExt, QStringLiteral(".lst"));
    QCOMPARE(favPaths(program), expected);
    QStringList names;
    for (const QString& entry : expected) names << *Program::FileNamePart(entry);
    QCOMPARE(listTexts(program.frm_main()->List), names);
  }

  void openAsksFirstWhenThereAreFavourites_data() {
    QTest::addColumn<Button>("answer");
    QTest::addColumn<QList<bool>>("dialogs");  // save? for each dialog shown
    QTest::addColumn<bool>("replaced");
    QTest::newRow("Cancel") << QMessageBox::Cancel << QList<bool>{} << false;
    QTest::newRow("No") << QMessageBox::No << QList<bool>{false} << true;
    QTest::newRow("Yes, save cancelled") << QMessageBox::Yes << QList<bool>{true, false} << true;
  }

  void openAsksFirstWhenThereAreFavourites() {
    QFETCH(Button, answer);
    QFETCH(QList<bool>, dialogs);
    QFETCH(bool, replaced);
    const QString path = listPath(QStringLiteral("replacement.lst"));
    writeBytes(path, listBytes(songs(3)));
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp"}));
    fixture.messageBoxes->answers.push_back(answer);
    if (answer == QMessageBox::Yes) fixture.fileDialogs->answers.push_back(std::nullopt);
    fixture.fileDialogs->answers.push_back(path);
    program.frm_dummy()->mnu_openlist_Click();
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);
    QList<bool> shown;
    for (const auto& call : fixture.fileDialogs->calls) shown << call.save;
    QCOMPARE(shown, dialogs);
    QCOMPARE(favPaths(program), replaced ? songs(3) : pics({"a.bmp"}));
  }

  void openThatFailsKeepsTheFavourites_data() {
    QTest::addColumn<QString>("chosen");  // empty: the dialog is cancelled
    QTest::newRow("dialog cancelled") << QString();
    QTest::newRow("missing file") << QStringLiteral("no-such.lst");
    QTest::newRow("a folder") << QStringLiteral("folder.lst");
  }

  void openThatFailsKeepsTheFavourites() {
    QFETCH(QString, chosen);
    QDir(lists_.path()).mkdir(QStringLiteral("folder.lst"));
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    if (chosen.isEmpty())
      fixture.fileDialogs->answers.push_back(std::nullopt);
    else
      fixture.fileDialogs->answers.push_back(listPath(chosen));
    program.frm_dummy()->mnu_openlist_Click();
    QCOMPARE(fixture.fileDialogs->calls.size(), 1);
    QCOMPARE(favPaths(program), pics({"a.bmp", "b.bmp"}));
    QCOMPARE(listTexts(program.frm_main()->List), (QStringList{"a.bmp", "b.bmp"}));
  }

  void openChangesNothingShown() {
    const QString path = listPath(QStringLiteral("shown.lst"));
    writeBytes(path, listBytes(pics({"c.bmp", "a.bmp"})));
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    program.frm_main()->List->setCurrentRow(1);
    QCOMPARE(program.frm_main()->cur_file, pic("b.bmp"));
    program.frm_main()->from_favourites = false;
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    fixture.fileDialogs->answers.push_back(path);
    program.frm_dummy()->mnu_openlist_Click();
    QCOMPARE(favPaths(program), pics({"c.bmp", "a.bmp"}));
    QCOMPARE(program.frm_main()->cur_file, pic("b.bmp"));
    QVERIFY(!program.frm_main()->from_favourites);
    QCOMPARE(program.frm_main()->List->currentRow(), -1);
  }

  void savedFileIsTheTwoPaths() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"b.bmp", "a.bmp"}));
    const QString target = listPath(QStringLiteral("two.lst"));
    writeBytes(target, "old contents that are longer than the new ones\r\n");
    fixture.fileDialogs->answers.push_back(listPath(QStringLiteral("two")));  // the list extension is added
    fixture.messageBoxes->answers.push_back(QMessageBox::Yes);                // replace it
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(readBytes(target),
             QFile::encodeName(pic("b.bmp")) + "\r\n" + QFile::encodeName(pic("a.bmp")) + "\r\n");
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);  // replacing it was asked
    const auto& dialog = fixture.fileDialogs->calls.value(0);
    QVERIFY(dialog.save);
    QCOMPARE(dialog.title, QStringLiteral("Save the favourite list"));
    QCOMPARE(dialog.filter,
             CommonDialog::desktopFilter(program.tables().msg(TextTables::MsgListFilter, false)));
    QCOMPARE(dialog.initial, program.frm_main()->File->Path());  // the folder the file list shows
  }

  void saveThatWritesNothing_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("chosen");  // empty: the dialog is cancelled
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<bool>("told");  // a failed write is told; a cancel or an empty list is not
    QTest::newRow("empty list") << 0 << QStringLiteral("empty.lst") << 0 << false;
    QTest::newRow("dialog cancelled") << 2 << QString() << 1 << false;
    QTest::newRow("inside a missing folder") << 2 << QStringLiteral("missing/x.lst") << 1 << true;
    QTest::newRow("parent is a file") << 2 << QStringLiteral("plain/x.lst") << 1 << true;
  }

  void saveThatWritesNothing() {
    QFETCH(int, entries);
    QFETCH(QString, chosen);
    QFETCH(int, dialogs);
    QFETCH(bool, told);
    QTemporaryDir sandbox;
    writeBytes(sandbox.filePath(QStringLiteral("plain")), "keep");
    ProgramFixture fixture;
    Program& program = startWith(fixture, songs(entries));
    fixture.fileDialogs->answers.push_back(chosen.isEmpty() ? std::optional<QString>()
                                                            : sandbox.filePath(chosen));
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(fixture.fileDialogs->calls.size(), dialogs);
    QCOMPARE(QDir(sandbox.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"plain"});
    QCOMPARE(readBytes(sandbox.filePath(QStringLiteral("plain"))), QByteArray("keep"));
    QCOMPARE(fixture.messageBoxes->calls.size(), told ? 1 : 0);
    if (told) QVERIFY(fixture.messageBoxes->calls[0].prompt.contains(sandbox.filePath(chosen)));
    QCOMPARE(favPaths(program), songs(entries));
  }

  // A line too long to be a path ends the reading; the next exit would write back only what was read, so
  // the user hears of it once: at start for "default.lst", at once for a list opened from the menu.
  void overlongLineCutsTheListAndTells() {
    const QByteArray bytes = listBytes(songs(2)) + QByteArray(70 * 1024, 'x') + "\r\n" + listBytes(songs(3));
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), bytes);
    Program& program = fixture.start();
    QCOMPARE(favPaths(program), songs(2));
    // Told once the main window is on screen.
    QTRY_COMPARE_WITH_TIMEOUT(fixture.messageBoxes->calls.size(), 1, 5000);
    QVERIFY(fixture.messageBoxes->calls[0].prompt.contains(fixture.path(QStringLiteral("default.lst"))));
    QVERIFY(fixture.messageBoxes->calls[0].prompt.contains(QStringLiteral(" 2 ")));
    program.frm_main()->tellPendingNotice();  // told once only
    QCOMPARE(fixture.messageBoxes->calls.size(), 1);

    writeBytes(listPath(QStringLiteral("long.lst")), bytes);
    fixture.messageBoxes->answers.push_back(QMessageBox::No);  // do not save the current list
    fixture.fileDialogs->answers.push_back(listPath(QStringLiteral("long.lst")));
    program.frm_dummy()->mnu_openlist_Click();
    QCOMPARE(favPaths(program), songs(2));
    QCOMPARE(fixture.messageBoxes->calls.size(), 3);
    QVERIFY(fixture.messageBoxes->calls[2].prompt.contains(listPath(QStringLiteral("long.lst"))));

    // A list that merely ends without a line end is whole: nothing to tell.
    ProgramFixture plain;
    plain.writeFile(QStringLiteral("default.lst"), listBytes(songs(2)) + "/music/last.wav");
    Program& other = plain.start();
    QCOMPARE(other.frm_main()->List->count(), 3);
    QVERIFY(plain.messageBoxes->calls.isEmpty());
  }

  // A list an editor on Linux wrote (an LF after each line) opens line by line, at start as "default.lst"
  // and from the menu; saving it writes CR LF as ever.
  void listWithLinuxLineEndsOpensLineByLine() {
    QByteArray lf;
    for (const QString& path : songs(3)) lf += QFile::encodeName(path) + "\n";
    ProgramFixture fixture;
    fixture.writeFile(QStringLiteral("default.lst"), lf);
    Program& program = fixture.start();
    QCOMPARE(favPaths(program), songs(3));
    const QString target = listPath(QStringLiteral("from-lf.lst"));
    fixture.fileDialogs->answers.push_back(target);
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(readBytes(target), listBytes(songs(3)));

    writeBytes(listPath(QStringLiteral("lf.lst")), lf + QFile::encodeName(songs(4).last()));
    fixture.messageBoxes->answers.push_back(QMessageBox::No);  // do not save the current list
    fixture.fileDialogs->answers.push_back(listPath(QStringLiteral("lf.lst")));
    program.frm_dummy()->mnu_openlist_Click();
    QCOMPARE(favPaths(program), songs(4));
  }

  // Getting the focus (Tab, a right press, the return from a dialog) makes a list's first row current, and
  // that is no click: nothing opens until the user clicks or a row is selected from code or by the keys.
  void focusAloneOpensNothing() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp", "b.bmp"}));
    FrmMain& m = *program.frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowActive(&m));
    QVERIFY(m.Dir->setPath(folder()));
    for (const Qt::FocusReason reason :
         {Qt::TabFocusReason, Qt::OtherFocusReason, Qt::ActiveWindowFocusReason}) {
      m.File->setFocus(reason);
      m.List->setFocus(reason);
      QCoreApplication::processEvents();
    }
    QVERIFY(m.cur_file.isEmpty());
    QVERIFY(!m.from_favourites);
    QCOMPARE(m.File->ListIndex(), -1);
    // A key moves the selection: that is a click.
    QTest::keyClick(m.List, Qt::Key_Down);
    QVERIFY(m.from_favourites);
    QVERIFY(!m.cur_file.isEmpty());
    // A real click on the other favourite opens it.
    const QRect first = m.List->visualItemRect(m.List->item(0));
    QTest::mouseClick(m.List->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(m.cur_file, pic(QStringLiteral("a.bmp")));
  }

  void textsFollowTheLanguage() {
    ProgramFixture fixture;
    Program& program = startWith(fixture, pics({"a.bmp"}));
    program.setUseChinese(true);
    fixture.messageBoxes->answers.push_back(QMessageBox::Cancel);
    program.frm_dummy()->mnu_openlist_Click();
    program.frm_dummy()->mnu_savelist_Click();
    QCOMPARE(fixture.messageBoxes->calls.value(0).title, program.tables().msg(TextTables::MsgWarning, true));
    QCOMPARE(fixture.messageBoxes->calls.value(0).prompt,
             program.tables().msg(TextTables::MsgSaveListQuestion, true));
    QCOMPARE(fixture.fileDialogs->calls.value(0).title, program.tables().msg(TextTables::MsgSaveList, true));
    QCOMPARE(fixture.fileDialogs->calls.value(0).filter,
             CommonDialog::desktopFilter(program.tables().msg(TextTables::MsgListFilter, true)));
  }
};

QTEST_MAIN(TestFavourites)
#include "test_favourites.moc"
