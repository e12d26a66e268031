#include "app/about_text.h"

#include "app/text_tables.h"

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

QString aboutText(bool use_chinese, const QString& crlf) {
  // English, Chinese.
  const std::array<std::pair<QString, QString>, 17> lines = {{
      {u"TARNWELL Glintview v3.0 (Deluxe)"_s, u"TARNWELL 晶影器 v3.0 (豪華版)"_s},                        // 1
      {QString(), QString()},                                                                             // 2
      {u"Picture viewer and media player"_s, u"圖像瀏覽及媒體播放器"_s},                                  // 3
      {QString(), QString()},                                                                             // 4
      {u"Please send any bugs report, suggestions, comment to "_s, u"請將任何損害壞報告及建議電郵到"_s},  // 5
      {TextTables::MailAddress, TextTables::MailAddress},                                                 // 6
      {u"And visit TARNWELL Web site"_s, u"請到 TARNWELL 網站瀏覽"_s},                                    // 7
      {TextTables::WebAddress, TextTables::WebAddress},                                                   // 8
      {QString(), QString()},                                                                             // 9
      {u"Programmer -------- Ashdown"_s, u"程式員 ---------------- Ashdown"_s},       // 10
      {u"Designer ------------ Ashdown"_s, u"設計員 ---------------- Ashdown"_s},     // 11
      {u"Graphics ------------ Ashdown"_s, u"圖像設計員 -------- Ashdown"_s},         // 12
      {u"Director ------------- Ashdown"_s, u"監制 -------------------- Ashdown"_s},  // 13
      {QString(), QString()},                                                         // 14
      {QString(), QString()},                                                         // 15
      {u"Written by Ashdown"_s, u"Ashdown 編寫"_s},                                   // 16
      {QString(), QString()},                                                         // 17
  }};
  QString text;
  for (const auto& [en, zh] : lines) {
    text += (use_chinese ? zh : en) + crlf;
  }
  return text;
}
