#include "app/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace language {

bool isTraditionalChinese(QByteArrayView locale) {
  for (const QByteArrayView region : {QByteArrayView("zh_TW"), QByteArrayView("zh_HK")}) {
    if (locale.size() < region.size() ||
        locale.first(region.size()).compare(region, Qt::CaseInsensitive) != 0)
      continue;
    // The whole territory, then at most a code set or a modifier: "zh_TWX" is no locale of Taiwan.
    if (locale.size() == region.size() || locale.at(region.size()) == '.' || locale.at(region.size()) == '@')
      return true;
  }
  return false;
}

bool localeWantsChinese() {
  QByteArray locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = qgetenv(name);
    if (!locale.isEmpty()) break;
  }
  if (locale.isEmpty()) return false;
  // gettext's rule: LANGUAGE, a list of preferences, counts unless the locale is the plain C one.
  if (locale != "C" && locale != "POSIX") {
    const QByteArray preferred = qgetenv("LANGUAGE");
    const qsizetype colon = preferred.indexOf(':');
    const QByteArray first = colon < 0 ? preferred : preferred.left(colon);
    if (!first.isEmpty()) return isTraditionalChinese(first);
  }
  return isTraditionalChinese(locale);
}

}  // namespace language

QtTranslation::QtTranslation() = default;

QtTranslation::~QtTranslation() {
  if (installed_) QCoreApplication::removeTranslator(translator_.get());
}

void QtTranslation::apply(bool chinese) {
  if (chinese == installed_) return;
  if (!chinese) {
    QCoreApplication::removeTranslator(translator_.get());
    installed_ = false;
    return;
  }
  if (!loaded_) {
    loaded_ = true;
    translator_ = std::make_unique<QTranslator>();
    // Hong Kong has no file of its own; Taiwan's is the Traditional Chinese one. Missing: Qt stays English.
    if (!translator_->load(QStringLiteral("qtbase_zh_TW"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      translator_.reset();
  }
  if (translator_) installed_ = QCoreApplication::installTranslator(translator_.get());
}
