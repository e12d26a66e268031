#include "app/look.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace look {

QString darkStyleSheet() {
  return QStringLiteral(
             "QWidget { color: rgb(224,224,224); }"
             "QGroupBox { border: 1px solid rgb(110,110,110); border-radius: 2px; margin-top: 7px; }"
             "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px; "
             "padding: 0 2px; }"
             "QPushButton { background: rgb(40,40,40); border: 1px solid rgb(120,120,120); border-radius: "
             "2px; }"
             "QPushButton:hover { border-color: %1; }"
             "QPushButton:pressed { background: rgb(70,70,70); }"
             "QPushButton:disabled { color: rgb(110,110,110); border-color: rgb(70,70,70); }"
             "QListView, QListWidget { background: rgb(16,16,16); border: 1px solid rgb(90,90,90);"
             "  selection-background-color: rgb(200,120,50); selection-color: black; }"
             "QComboBox { background: rgb(24,24,24); border: 1px solid rgb(90,90,90); padding: 0 1px 0 3px; }"
             "QComboBox QAbstractItemView { background: rgb(24,24,24); selection-background-color: "
             "rgb(200,120,50);"
             "  selection-color: black; }"
             "QListWidget#List::item { padding: 0px; margin: 0px; height: 11px; }"
             "QScrollBar { background: rgb(30,30,30); }")
      .arg(kTitle.name());
}

QString titleStyleSheet() {
  return QStringLiteral("background: %1; color: black; padding-left: 4px;").arg(kTitle.name());
}

void nameControls(std::initializer_list<std::pair<QWidget*, TextTables::Control>> controls, bool chinese) {
  for (const auto& [widget, control] : controls) {
    const TextTables::Spoken spoken = TextTables::controlText(control, chinese);
    widget->setAccessibleName(spoken.name);
    widget->setAccessibleDescription(spoken.description);
  }
}

void centreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  window.move(area.x() + static_cast<int>(std::nearbyint((area.width() - window.width()) / 2.0)),
              area.y() + static_cast<int>(std::nearbyint((area.height() - window.height()) / 2.0)));
}

namespace {

bool writesChinese(const QString& family) {
  const auto systems = QFontDatabase::writingSystems(family);
  return systems.contains(QFontDatabase::TraditionalChinese) ||
         systems.contains(QFontDatabase::SimplifiedChinese) || systems.contains(QFontDatabase::Japanese) ||
         systems.contains(QFontDatabase::Korean);
}

bool hasBold(const QString& family) {
  const QStringList styles = QFontDatabase::styles(family);
  return std::any_of(styles.begin(), styles.end(), [&family](const QString& style) {
    return QFontDatabase::weight(family, style) >= QFont::Bold;
  });
}

}  // namespace

QStringList programFontFamilies() {
  QStringList families;
  // The desktop's own sans serif where it is a Latin face (a C or English locale); else a common one.
  const QString desktop = QFontInfo(QGuiApplication::font()).family();
  if (!desktop.isEmpty() && !writesChinese(desktop)) {
    families << desktop;
  } else {
    for (const char* name : {"DejaVu Sans", "Noto Sans", "Liberation Sans", "Nimbus Sans", "FreeSans"}) {
      const QString family = QString::fromLatin1(name);
      if (QFontDatabase::hasFamily(family) && !writesChinese(family)) {
        families << family;
        break;
      }
    }
  }
  // Traditional Chinese glyph shapes (a Simplified or Japanese face draws some characters otherwise),
  // preferably with a real bold.
  QString chinese;
  for (const char* name : {"Noto Sans CJK TC", "Noto Sans CJK HK", "Source Han Sans TC", "Source Han Sans TW",
                           "Noto Sans TC", "WenQuanYi Zen Hei", "WenQuanYi Micro Hei", "AR PL UMing TW"}) {
    const QString family = QString::fromLatin1(name);
    if (!QFontDatabase::hasFamily(family)) continue;
    if (hasBold(family)) {
      chinese = family;
      break;
    }
    if (chinese.isEmpty()) chinese = family;
  }
  if (!chinese.isEmpty()) families << chinese;
  return families;
}

void useProgramFonts() {
  const QStringList families = programFontFamilies();
  if (families.isEmpty()) return;
  QFont font = QGuiApplication::font();
  font.setFamilies(families);
  QGuiApplication::setFont(font);
}

void applyDarkWindow(QWidget& window) {
  window.setAutoFillBackground(true);
  QPalette pal = window.palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, kText);
  window.setPalette(pal);
  QFont small = window.font();
  small.setPixelSize(11);
  window.setFont(small);
  window.setStyleSheet(darkStyleSheet());
}

}  // namespace look
