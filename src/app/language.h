#pragma once

#include <QByteArrayView>

#include <memory>

class QTranslator;

namespace language {

// Whether a locale name ("zh_TW.UTF-8", "zh_HK@euro") is Traditional Chinese: Taiwan or Hong Kong.
bool isTraditionalChinese(QByteArrayView locale);

// Whether the user's locale asks for messages in Traditional Chinese: the first of LC_ALL, LC_MESSAGES and
// LANG that is set, or, as gettext reads it, the first entry of LANGUAGE when that locale is not "C".
bool localeWantsChinese();

}  // namespace language

// Qt's own texts (the standard buttons of message boxes, the file dialogs) in the interface's language: Qt's
// Traditional Chinese translation is installed in the application while the interface is Chinese and
// removed when it is English. Program owns one; ApplyInterface sets it.
class QtTranslation {
 public:
  QtTranslation();
  ~QtTranslation();

  void apply(bool chinese);
  bool installed() const { return installed_; }

 private:
  std::unique_ptr<QTranslator> translator_;
  bool loaded_ = false;  // the translation file has been read (it is read once, when first wanted)
  bool installed_ = false;
};
