#include "controls/key_preview.h"

#include <QKeyEvent>
#include <QtTest>

#include <optional>

namespace {

// A control that takes every key (as a text box does) or leaves every key to its parents.
class KeyTaker : public QWidget {
 public:
  KeyTaker(bool takes, QWidget* parent) : QWidget(parent), takes_(takes) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override { event->setAccepted(takes_); }

 private:
  bool takes_ = false;
};

}  // namespace

class TestKeyPreview : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    window_.emplace();
    auto* box = new QWidget(&*window_);
    leaves_ = new KeyTaker(false, box);
    takes_ = new KeyTaker(true, box);
    previewed_.clear();
    new KeyPreview(&*window_, [this](QKeyEvent* key) { previewed_ << key->key(); });
  }
  void cleanup() { window_.reset(); }

  // A key the control leaves travels up through two parents: previewed once, where it starts.
  void travellingKeyOnce() {
    QTest::keyClick(leaves_, Qt::Key_Z);
    QCOMPARE(previewed_, QList<int>{Qt::Key_Z});
    QTest::keyClick(takes_, Qt::Key_X);
    QCOMPARE(previewed_, (QList<int>{Qt::Key_Z, Qt::Key_X}));
  }

  // The next press may be built where the last one was (the same address, the same key and time stamp):
  // delivered to a parent of where the last one stopped, it is still a new press.
  void newPressAtTheLastOnesAddress() {
    QWidget* parent = takes_->parentWidget();
    std::optional<QKeyEvent> key;
    const auto press = [&key](QWidget* to, QEvent::Type type) {
      key.reset();
      key.emplace(type, Qt::Key_B, Qt::NoModifier);
      QApplication::sendEvent(to, &*key);
    };
    press(takes_, QEvent::KeyPress);
    const QKeyEvent* first = &*key;
    press(takes_, QEvent::KeyRelease);
    press(parent, QEvent::KeyPress);
    QCOMPARE(&*key, first);
    QCOMPARE(previewed_, (QList<int>{Qt::Key_B, Qt::Key_B}));
  }

 private:
  std::optional<QWidget> window_;
  QWidget* leaves_ = nullptr;
  QWidget* takes_ = nullptr;
  QList<int> previewed_;
};

QTEST_MAIN(TestKeyPreview)
#include "test_key_preview.moc"
