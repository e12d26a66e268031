// The main window's dialogs: message boxes centred on the window once shown, the long-line notice for one
// favourite, where the file dialogs start, and a list file whose name is not UTF-8 opened from the desktop's
// Open dialog.
#include "controls/file_list.h"
#include "main_window/frm_main.h"
#include "menus/frm_dummy.h"
#include "picture_gen.h"
#include "platform/file_names.h"
#include "program_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

// Runs `step` every 10 ms while a modal dialog runs, until it returns true; after 10 s the dialog is
// rejected so that the test ends, and `timedOut` tells it.
class WhileModal {
 public:
  explicit WhileModal(std::function<bool(QWidget*)> step) : step_(std::move(step)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->isVisible() && step_(modal)) {
        timer_.stop();
        return;
      }
      if (++ticks_ > 1000) {
        timedOut = true;
        timer_.stop();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
      }
    });
    timer_.start();
  }
  bool timedOut = false;

 private:
  std::function<bool(QWidget*)> step_;
  QTimer timer_;
  int ticks_ = 0;
};

}  // namespace

class TestDialogs : public QObject {
  Q_OBJECT

 private slots:
  // A message box takes its size from its text when it is shown; it is centred on the main window after
  // that, the long-line notice (wide, with a long path) as much as a short one. One favourite read is told
  // in the singular, in both languages.
  void messageBoxCentredOnItsWindow_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<int>("read");
    QTest::addColumn<QString>("says");
    QTest::newRow("one, English") << false << 1 << QStringLiteral("only the 1 favourite before it was read.");
    QTest::newRow("two, English") << false << 2
                                  << QStringLiteral("only the 2 favourites before it were read.");
    QTest::newRow("one, Chinese") << true << 1 << QStringLiteral("離開時只會儲存這一項。");
    QTest::newRow("two, Chinese") << true << 2 << QStringLiteral("離開時只會儲存這些項目。");
  }

  void messageBoxCentredOnItsWindow() {
    QFETCH(bool, chinese);
    QFETCH(int, read);
    QFETCH(QString, says);
    ProgramFixture fixture;
    Program& program = fixture.start();
    program.use_chinese = chinese;
    program.ApplyInterface();
    FrmMain& m = *program.frm_main;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    program.seams.messageBoxes.reset();
    program.seams.fillDefaults();  // the desktop's own message boxes

    QRect seen;
    QString text;
    WhileModal answer([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) return false;
      seen = box->frameGeometry();
      text = box->text();
      box->button(QMessageBox::Ok)->click();
      return true;
    });
    const QString path =
        QDir::tempPath() + QStringLiteral("/a/rather/long/folder/of/favourite/lists/mine.lst");
    m.reportListCutShort(path, read);
    QVERIFY(!answer.timedOut);
    QVERIFY2(text.contains(says), qPrintable(text));
    const QPoint off = seen.center() - m.frameGeometry().center();
    QVERIFY2(
        std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1,
        qPrintable(QStringLiteral("the box's centre is %1, %2 off the window's").arg(off.x()).arg(off.y())));
  }

  // Each file dialog starts in the folder the file list shows until it has been used, then in the folder it
  // was last used in (while that folder exists); the three dialogs remember their own.
  void fileDialogsStartInTheShownOrTheLastFolder() {
    QTemporaryDir shown, lists, bitmaps;
    const QByteArray bmp = picture_gen::MakeBmp(picture_gen::Quadrants(QSize(4, 4)));
    writeBytes(shown.filePath(QStringLiteral("a.bmp")), bmp);
    writeBytes(lists.filePath(QStringLiteral("old.lst")),
               QFile::encodeName(shown.filePath("a.bmp")) + "\r\n");
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main;
    FrmDummy& d = *program.frm_dummy;
    QVERIFY(m.File->setPath(shown.path()));
    m.File->setListIndex(0);  // the picture is shown, so it can be saved as a bitmap
    auto started = [&] { return fixture.fileDialogs->calls.constLast().initial; };

    fixture.fileDialogs->answers.push_back(lists.filePath(QStringLiteral("old.lst")));
    d.mnu_openlist_Click();
    QCOMPARE(started(), m.File->Path());
    QCOMPARE(m.List->count(), 1);

    fixture.fileDialogs->answers.push_back(std::nullopt);  // cancelled: the folder stays as it was
    d.mnu_savelist_Click();
    QCOMPARE(started(), m.File->Path());
    fixture.fileDialogs->answers.push_back(bitmaps.filePath(QStringLiteral("copy.bmp")));
    d.mnu_savebitmap_Click();
    QCOMPARE(started(), m.File->Path());

    fixture.messageBoxes->answers.push_back(QMessageBox::No);  // do not save the list it replaces
    d.mnu_openlist_Click();
    QCOMPARE(started(), lists.path());
    d.mnu_savelist_Click();
    QCOMPARE(started(), m.File->Path());
    d.mnu_savebitmap_Click();
    QCOMPARE(started(), bitmaps.path());

    // A folder that has gone since: the file list's again.
    QVERIFY(QDir(lists.path()).removeRecursively());
    fixture.messageBoxes->answers.push_back(QMessageBox::No);
    d.mnu_openlist_Click();
    QCOMPARE(started(), m.File->Path());
  }

  // The desktop's Open dialog lists a list file whose name is not UTF-8 (Qt's own listing leaves it out);
  // a click on it and Open read that very file into the favourites.
  void listFileNamedInNoUtf8OpensFromTheDialog() {
#ifdef Q_OS_UNIX
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("a.bmp"));
    writeBytes(picture, picture_gen::MakeBmp(picture_gen::Quadrants(QSize(4, 4))));
    const QString list = filenames::decode(QFile::encodeName(folder.path()) + "/list\xe9.lst");
    {
      // Written by its bytes: Qt would write a file of another name.
      const QByteArray bytes = QFile::encodeName(picture) + "\r\n";
      FILE* out = fopen(filenames::encode(list).constData(), "wb");
      QVERIFY(out);
      fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
      fclose(out);
    }
    ProgramFixture fixture;
    Program& program = fixture.start();
    FrmMain& m = *program.frm_main;
    m.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m));
    QVERIFY(m.File->setPath(folder.path()));
    Seams desktop;
    desktop.fillDefaults();
    program.frm_dummy->CMD = std::make_unique<CommonDialog>(*desktop.fileDialogs, &m);

    bool clicked = false;
    WhileModal answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return false;
      for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        if (!view->isVisible() || !view->model()) continue;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
          const QModelIndex at = view->model()->index(row, 0, root);
          if (at.data().toString() != QStringLiteral("list\xDCE9.lst")) continue;
          const QRect place = view->visualRect(at);
          if (place.isEmpty()) return false;
          QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.center());
          auto* buttons = dialog->findChild<QDialogButtonBox*>();
          QPushButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
          if (!open || !open->isEnabled()) return false;
          clicked = true;
          open->click();
          return true;
        }
      }
      return false;
    });
    program.frm_dummy->mnu_openlist_Click();
    QVERIFY2(!answer.timedOut && clicked, "the dialog never listed the file");
    QCOMPARE(m.List->count(), 1);
    QCOMPARE(program.FavPath[0], picture);
#else
    QSKIP("names are UTF-16 on this platform");
#endif
  }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
