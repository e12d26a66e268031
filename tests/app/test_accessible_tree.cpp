// Screen readers: every control of the main window, of each page of the preferences and of full screen with
// its panel has a name in the language the interface shows, looked up as a screen reader looks it up,
// through the accessible tree.
#include "controls/picture_box.h"
#include "fullscreen/frm_full.h"
#include "main_window/frm_main.h"
#include "preferences/frm_option.h"
#include "program_fixture.h"

#include <QAccessible>
#include <QGroupBox>
#include <QMap>
#include <QTabBar>
#include <QTest>

namespace {

struct Control {
  QAccessible::Role role = QAccessible::NoRole;
  QString name;
  QString groupTitle;  // a group box's own caption, without its mnemonic
  QString aroundName;  // for a control not named by us, the name of the group box it is in
};

// Keyed by the path of child indices from the window, the same in either language.
using Controls = QMap<QString, Control>;

bool isControl(QAccessibleInterface* node) {
  switch (node->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Slider:
    case QAccessible::PageTab:
    case QAccessible::PageTabList:
    case QAccessible::EditableText:
    case QAccessible::Grouping:
      return true;
    default:
      break;
  }
  const auto* widget = qobject_cast<const QWidget*>(node->object());
  return widget && (widget->focusPolicy() & Qt::TabFocus);
}

void walk(QAccessibleInterface* node, const QString& path, Controls& found) {
  if (!node || node->state().invisible) return;
  if (isControl(node)) {
    Control control{node->role(), node->text(QAccessible::Name), {}, {}};
    // Qt's last resort for a control without a name of its own is the caption of the group box around it.
    const auto* widget = qobject_cast<const QWidget*>(node->object());
    QAccessibleInterface* around = node->parent();
    if (widget && widget->accessibleName().isEmpty() && around && around->role() == QAccessible::Grouping)
      control.aroundName = around->text(QAccessible::Name);
    // Qt on Linux announces a box by its entry; the name we give it is what we can check.
    if (auto* widget = qobject_cast<QWidget*>(node->object());
        widget && node->role() == QAccessible::ComboBox)
      control.name = widget->accessibleName();
    if (auto* group = qobject_cast<QGroupBox*>(node->object()))
      control.groupTitle = group->title().remove(u'&');
    found.insert(path, control);
  }
  // The entries of lists and boxes are the user's files and choices, not the controls' names.
  const QAccessible::Role role = node->role();
  if (role == QAccessible::List || role == QAccessible::ComboBox || role == QAccessible::EditableText) return;
  for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), path + u'/' + QString::number(i), found);
}

void walkWindow(QWidget* window, const QString& key, Controls& found) {
  QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
  found.insert(key, {root->role(), root->text(QAccessible::Name), {}, {}});
  walk(root, key, found);
}

bool hasChinese(const QString& text) {
  return std::any_of(text.cbegin(), text.cend(),
                     [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

}  // namespace

class TestAccessibleTree : public QObject {
  Q_OBJECT

 private slots:
  void everyControlNamedInTheLanguage() {
    ProgramFixture fixture;
    Program& p = fixture.start();
    FrmMain& m = *p.frm_main();
    FrmOption& o = *p.frm_option();
    m.show();
    QMap<bool, Controls> seen;
    for (const bool chinese : {false, true}) {
      p.setUseChinese(chinese);
      p.ApplyInterface();
      Controls& found = seen[chinese];
      walkWindow(&m, QStringLiteral("main"), found);
      o.show();
      for (int page = 0; page < o.Tabs->count(); ++page) {
        o.Tabs->setCurrentIndex(page);
        walkWindow(&o, QStringLiteral("preferences page %1").arg(page + 1), found);
      }
      o.CMD_Cancel_Click();
      FrmFull& f = *p.frm_full();
      m.Img_DblClick();
      f.setPanelVisible(true);
      walkWindow(&f, QStringLiteral("full screen"), found);
      // The picture takes no keys, but a screen reader tells what the screen shows.
      QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(f.Img);
      found.insert(QStringLiteral("full screen picture"),
                   {picture->role(), picture->text(QAccessible::Name), {}, {}});
      f.leave();
      for (auto it = found.cbegin(); it != found.cend(); ++it) {
        QVERIFY2(!it->name.isEmpty(), qPrintable(it.key()));
        // A group box is announced by its own caption, and no control by the caption of the group around it.
        if (it->role == QAccessible::Grouping && !it->groupTitle.isNull()) QCOMPARE(it->name, it->groupTitle);
        QVERIFY2(it->name != it->aroundName, qPrintable(it.key() + u' ' + it->name));
      }
    }
    QCOMPARE(seen[false].keys(), seen[true].keys());
    QVERIFY(seen[false].size() > 50);
    for (auto it = seen[true].cbegin(); it != seen[true].cend(); ++it) {
      const QString english = seen[false].value(it.key()).name;
      QVERIFY2(hasChinese(it->name) && it->name != english, qPrintable(it.key() + u' ' + english));
    }
  }
};

QTEST_MAIN(TestAccessibleTree)
#include "test_accessible_tree.moc"
