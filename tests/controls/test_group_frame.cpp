// The group frame draws once what a group box draws every time: it must look the same as one, whatever
// changes about it, and whatever repaints inside it.
#include "controls/group_frame.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {

// A group box and a group frame side by side, alike in everything, in a window with the program's kind of
// style sheet (a drawn border, the caption over it).
struct Pair {
  QWidget window;
  QGroupBox* box = new QGroupBox(QStringLiteral("Controls"), &window);
  GroupFrame* frame = new GroupFrame(QStringLiteral("Controls"), &window);
  QLabel* boxLabel = new QLabel(QStringLiteral("10%"), box);
  QLabel* frameLabel = new QLabel(QStringLiteral("10%"), frame);

  Pair() {
    window.setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid rgb(110,110,110); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px; }"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(200, 200, 200));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.resize(420, 140);
    box->setGeometry(10, 10, 190, 110);
    frame->setGeometry(220, 10, 190, 110);
    boxLabel->setGeometry(20, 40, 60, 20);
    frameLabel->setGeometry(20, 40, 60, 20);
    window.show();
  }
  // What the window shows of each.
  QImage shownBox() { return window.grab(box->geometry()).toImage(); }
  QImage shownFrame() { return window.grab(frame->geometry()).toImage(); }
  void both(const std::function<void(QWidget*)>& change) {
    change(box);
    change(frame);
  }
};

}  // namespace

class TestGroupFrame : public QObject {
  Q_OBJECT

 private slots:
  void looksLikeAGroupBoxThroughEveryChange() {
    Pair pair;
    QVERIFY(QTest::qWaitForWindowExposed(&pair.window));
    const QImage first = pair.shownFrame();
    QCOMPARE(first, pair.shownBox());

    // A repaint of a control inside it repaints the frame beneath, from what it drew before.
    pair.frameLabel->setText(QStringLiteral("55%"));
    pair.boxLabel->setText(QStringLiteral("55%"));
    pair.frameLabel->repaint();
    pair.boxLabel->repaint();
    QCOMPARE(pair.shownFrame(), pair.shownBox());

    // The caption in the other language, another palette, disabled, another size, another style sheet.
    pair.box->setTitle(QStringLiteral("Other caption"));
    pair.frame->setTitle(QStringLiteral("Other caption"));
    QCOMPARE(pair.shownFrame(), pair.shownBox());
    QVERIFY(pair.shownFrame() != first);
    pair.both([](QWidget* widget) {
      QPalette palette = widget->palette();
      palette.setColor(QPalette::WindowText, Qt::yellow);
      widget->setPalette(palette);
    });
    QCOMPARE(pair.shownFrame(), pair.shownBox());
    pair.both([](QWidget* widget) { widget->setEnabled(false); });
    QCOMPARE(pair.shownFrame(), pair.shownBox());
    pair.both([](QWidget* widget) { widget->resize(160, 90); });
    QCOMPARE(pair.shownFrame(), pair.shownBox());
    pair.window.setStyleSheet(QStringLiteral("QGroupBox { border: 3px solid red; margin-top: 12px; }"));
    QCOMPARE(pair.shownFrame(), pair.shownBox());
  }
};

QTEST_MAIN(TestGroupFrame)
#include "test_group_frame.moc"
