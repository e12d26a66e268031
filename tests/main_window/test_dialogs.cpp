// The main window's dialogs: message boxes centred on the window once shown, where the file dialogs start,
// and a list file whose name is not UTF-8 opened from the desktop's Open dialog.
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "main_window/list_file.h"
#include "menus/frm_dummy.h"
#include "platform/file_names.h"
#include "program_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Runs `step` on the modal dialog every 10 ms until it returns true; after 10 s the dialog is rejected, so
// that the test goes on, and `timedOut` says so.
class WhileModal {
 public:
  explicit WhileModal(std::function<bool(QWidget*)> step) {
    QObject::connect(&timer_, &QTimer::timeout, [this, step] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->isVisible() && step(modal)) return timer_.stop();
      if (++ticks_ < 1000) return;
      timedOut = true;
      timer_.stop();
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
    timer_.start(10);
  }
  bool timedOut = false;

 private:
  QTimer timer_;
  int ticks_ = 0;
};

}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT

 private slots:
  // A message box takes its size from its text when it is shown, and is centred on the main window after
  // that (the wide long-line notice too); one favourite read is told in the singular.
  void messageBoxCentredOnItsWindow_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("says");
    QTest::newRow("English") << false << QStringLiteral("only the 1 favourite before it was read.");
    QTest::newRow("Chinese") << true << QStringLiteral("離開時只會儲存這一項。");
  }

  void messageBoxCentredOnItsWindow() {
    QFETCH(bool, chinese);
    QFETCH(QString, says);
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.setUseChinese(chinese);
    FrmMain& m = *program.frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    program.seams.messageBoxes.reset();
    program.seams.fillDefaults();  // the desktop's own message boxes
    QRect seen;
    QString text;
    WhileModal answer([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box || !box->windowHandle()->isExposed()) return false;
      seen = box->frameGeometry();
      text = box->text();
      box->accept();
      return true;
    });
    m.reportListCutShort(QDir::tempPath() + QStringLiteral("/a/rather/long/folder/of/lists/mine.lst"), 1);
    QVERIFY(!answer.timedOut);
    QVERIFY2(text.contains(says), qPrintable(text));
    const QPoint off = seen.center() - m.frameGeometry().center();
    QVERIFY2(std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1,
             qPrintable(QStringLiteral("%1, %2 off centre").arg(off.x()).arg(off.y())));
  }

  // A file dialog starts in the folder the file list shows until it has been used, then in the folder it
  // was last used in while that exists; each dialog remembers its own.
  void fileDialogsStartInTheShownOrTheLastFolder() {
    QTemporaryDir shown, lists;
    QVERIFY(listfile::write(lists.filePath(QStringLiteral("old.lst")), {QStringLiteral("/music/a.wav")}));
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    FrmDummy& d = *program.frm_dummy();
    QVERIFY(m.File->setPath(shown.path()));
    auto started = [&] { return fixture.fileDialogs->calls.constLast().initial; };
    fixture.fileDialogs->answers.push_back(lists.filePath(QStringLiteral("old.lst")));
    d.mnu_openlist_Click();
    QCOMPARE(started(), m.File->Path());
    fixture.messageBoxes->answers.push_back(QMessageBox::No);  // the list it replaces is not saved
    d.mnu_openlist_Click();
    QCOMPARE(started(), lists.path());
    d.mnu_savelist_Click();
    QCOMPARE(started(), m.File->Path());
    QVERIFY(QDir(lists.path()).removeRecursively());
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    d.mnu_openlist_Click();
    QCOMPARE(started(), m.File->Path());
  }

  // The desktop's Open dialog lists a list file whose name is not UTF-8 (Qt's own listing leaves it out);
  // a click on it and Open read that very file.
  void listFileNamedInNoUtf8OpensFromTheDialog() {
    QTemporaryDir folder;
    const QString list = filenames::decode(QFile::encodeName(folder.path()) + "/list\xe9.lst");
    FILE* out = fopen(filenames::encode(list).constData(), "wb");  // by its bytes: Qt would name another file
    QVERIFY(out);
    fputs("/music/a.wav\r\n", out);
    fclose(out);
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main();
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QVERIFY(m.File->setPath(folder.path()));
    Seams desktop;
    desktop.fillDefaults();
    program.frm_dummy()->CMD = std::make_unique<CommonDialog>(*desktop.fileDialogs, &m);
    WhileModal answer([&](QWidget* modal) {
      auto* view = modal->findChild<QAbstractItemView*>(QStringLiteral("treeView"));
      if (!view || !view->isVisible())
        view = modal->findChild<QAbstractItemView*>(QStringLiteral("listView"));
      const QModelIndexList found = view->model()->match(view->model()->index(0, 0, view->rootIndex()),
                                                         Qt::DisplayRole, QStringLiteral("list\xDCE9.lst"), 1,
                                                         Qt::MatchFixedString | Qt::MatchCaseSensitive);
      if (found.isEmpty()) return false;
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(found.first()).center());
      QPushButton* open = modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
      if (!open->isEnabled()) return false;
      open->click();
      return true;
    });
    program.frm_dummy()->mnu_openlist_Click();
    QVERIFY2(!answer.timedOut, "the dialog never offered the file");
    QCOMPARE(m.List->count(), 1);
    QCOMPARE(program.frm_main()->FavPath()[0], QStringLiteral("/music/a.wav"));
  }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
