#include "app/text_tables.h"

#include <QStringList>

#include <initializer_list>
#include <utility>

using namespace Qt::StringLiterals;

const QString TextTables::WebAddress = u"http://www.example.com"_s;
const QString TextTables::MailAddress = u"glintview@example.com"_s;
const QString TextTables::ProductTitle = u"TARNWELL Glintview v3.0 (Deluxe)"_s;
const QString TextTables::ProductName = u"Glintview"_s;
const QString TextTables::OpenWithFailedTitle = u"Warning!!"_s;
const QString TextTables::OpenWithFailedPrompt = u"An error occur when open with this picture!!"_s;

QString TextTables::toggleText(ToggleView view, bool use_chinese) {
  switch (view) {
    case ToggleView::Folder:
      return use_chinese ? u"資料夾 (&F)"_s : u"&Folder"_s;
    case ToggleView::Drive:
      return use_chinese ? u"磁碟機 (&D)"_s : u"&Drive"_s;
    case ToggleView::File:
      return use_chinese ? u"檔案 (&F)"_s : u"&File"_s;
  }
  return {};
}

QString TextTables::toggleTextIn(const QString& caption, bool use_chinese) {
  for (const ToggleView view : {ToggleView::Folder, ToggleView::Drive, ToggleView::File}) {
    if (caption == toggleText(view, false) || caption == toggleText(view, true))
      return toggleText(view, use_chinese);
  }
  return caption;
}

namespace {

// Fills entries 1, 2, ... of both language copies in the order given; slot 0 stays empty.
template <std::size_t N>
void setEntries(std::array<QString, N>& en, std::array<QString, N>& zh,
                std::initializer_list<std::pair<QString, QString>> rows) {
  Q_ASSERT(rows.size() < N);
  std::size_t entry = 1;
  for (const auto& [en_text, zh_text] : rows) {
    en[entry] = en_text;
    zh[entry] = zh_text;
    ++entry;
  }
}

// Help bodies are shown as-is in a multi-line box, so lines are joined by CR LF with none after the last.
QString joinLines(std::initializer_list<QString> lines) { return QStringList(lines).join(u"\r\n"_s); }

}  // namespace

void TextTables::fill() {
  // The texts are kept exactly as users have always seen them, misspellings included.
  setEntries(SplashText_en, SplashText_zh,
             {
                 {u"TARNWELL Glintview v3.0 (Deluxe)"_s, u"TARNWELL 晶影器 v3.0 (豪華版)"_s},  // 1
                 {u"The most powerful tool you have ever use..."_s, u"最強最酷的晶影器…"_s},   // 2
             });

  setEntries(MainText_en, MainText_zh,
             {
                 {u"TARNWELL Glintview v3.0 (Deluxe)"_s, u"TARNWELL 晶影器 v3.0 (豪華版)"_s},  // 1
                 {u"TARNWELL Glintview v3.0 (Deluxe)"_s, u"TARNWELL 晶影器 v3.0 (豪華版)"_s},  // 2
                 {u"Files"_s, u"檔案 (&F)"_s},                                                 // 3
                 {u"Controls"_s, u"控制 (&C)"_s},                                              // 4
                 {u"Status"_s, u"狀態 (&S)"_s},                                                // 5
                 {u"Picture"_s, u"圖像"_s},                                                    // 6
                 {u"Visit TARNWELL Web Site at "_s + WebAddress + u" !!"_s,
                  u"請到 TARNWELL 網站 "_s + WebAddress + u" 瀏覽！！"_s},  // 7
                 {u"Favourites"_s, u"我的最愛 (&A)"_s},                     // 8
                 {u"Size:"_s, u"大小："_s},                                 // 9
             });

  setEntries(PrefText_en, PrefText_zh,
             {
                 {u"Preferences"_s, u"喜好設定"_s},                                               // 1
                 {u"&Gernel"_s, u"一般 (&G)"_s},                                                  // 2
                 {u"Ad&vance"_s, u"進階 (&V)"_s},                                                 // 3
                 {u"&Help"_s, u"幫助 (&H)"_s},                                                    // 4
                 {u"&About"_s, u"關於 (&A)"_s},                                                   // 5
                 {u"Gernel Option"_s, u"一般選項"_s},                                             // 6
                 {u"Advance Option"_s, u"進階選項"_s},                                            // 7
                 {u"Help"_s, u"幫助"_s},                                                          // 8
                 {u"About"_s, u"關於"_s},                                                         // 9
                 {u"&Media"_s, u"媒體 (&M)"_s},                                                   // 10
                 {u"S&lideshow of sounds and movies"_s, u"媒體檔連續播放 (&L)"_s},                // 11
                 {u"&Loop play for each media"_s, u"每媒體檔循環 (&L)"_s},                        // 12
                 {u"&Stop CD at exit"_s, u"離開時停止 CD 播放 (&S)"_s},                           // 13
                 {u"&Auto play when click"_s, u"按下媒體檔，自動播放 (&A)"_s},                    // 14
                 {u"&Use Glintview Mouse Cursors"_s, u"使用晶影器滑鼠指標 (&U)"_s},               // 15
                 {u"&Show splash screen"_s, u"顯示啟動畫面 (&S)"_s},                              // 16
                 {u"&Always on the top"_s, u"最上層顯示 (&A)"_s},                                 // 17
                 {u"Shor&t keys"_s, u"快捷鍵 (&T)"_s},                                            // 18
                 {u"&Enable"_s, u"開啟 (&E)"_s},                                                  // 19
                 {u"&Disable"_s, u"關閉 (&D)"_s},                                                 // 20
                 {u"Language Selection:"_s, u"語糸選擇："_s},                                     // 21
                 {u"Help"_s, u"幫助"_s},                                                          // 22
                 {u"About"_s, u"關於"_s},                                                         // 23
                 {u"TARNWELL Glintview v3.0 (Deluxe)"_s, u"TARNWELL Glintview v3.0 (豪華版)"_s},  // 24
                 {u"Visit TARNWELL Web Site!!"_s, u"請到 TARNWELL 網站瀏覽！！"_s},               // 25
                 {u"&OK"_s, u"確定 (&O)"_s},                                                      // 26
                 {u"&Cancel"_s, u"取消 (&C)"_s},                                                  // 27
                 {u"&Apply"_s, u"套用 (&A)"_s},                                                   // 28
                 {u"&Interface"_s, u"介面 (&I)"_s},                                               // 29
             });

  setEntries(MenuText_en, MenuText_zh,
             {
                 {u"Control Panel"_s, u"控制台"_s},                          // 1
                 {u"&Add to favourite"_s, u"加入我的最愛 (&A)"_s},           // 2
                 {u"&Delete file"_s, u"刪除檔案 (&D)"_s},                    // 3
                 {u"&Remove from favourite"_s, u"從我的最愛中移除 (&R)"_s},  // 4
                 {u"&New favourite"_s, u"新的 我的最愛 (&N)"_s},             // 5
                 {u"&Open favourite"_s, u"開啟 我的最愛 (&O)"_s},            // 6
                 {u"&Save favourite"_s, u"儲存 我的最愛 (&S)"_s},            // 7
                 {u"&Paste from clipboard"_s, u"從剪貼簿貼上 (&P)"_s},       // 8
                 {u"&Full Screen"_s, u"全螢幕 (&F)"_s},                      // 9
                 {u"&Open with..."_s, u"開啟… (&O)"_s},                      // 10
                 {u"&Save to bitmap file"_s, u"儲存為點陣圖 (&S)"_s},        // 11
                 {u"&Return..."_s, u"返回… (&R)"_s},                         // 12
                 {u"&Control panel"_s, u"控制台 (&C)"_s},                    // 13
                 {u"&Previous"_s, u"上一項 (&P)"_s},                         // 14
                 {u"&Next"_s, u"下一項 (&N)"_s},                             // 15
             });

  setEntries(FilterText_en, FilterText_zh,
             {
                 {u"Paste from clipboard"_s, u"從剪貼簿上貼上"_s},                // 1
                 {u"All files (*.*)"_s, u"所有檔案 (*.*)"_s},                     // 2
                 {u"All known formats"_s, u"所有已知格式檔案"_s},                 // 3
                 {u"Bitmaps (*.bmp)"_s, u"點陣圖 (*.bmp)"_s},                     // 4
                 {u"DIB pictures (*.dib)"_s, u"器械獨立圖像 (*.dib)"_s},          // 5
                 {u"Icons (*.ico)"_s, u"圖示 (*.ico)"_s},                         // 6
                 {u"Cursors (*.cur)"_s, u"指標 (*.cur)"_s},                       // 7
                 {u"Windows META files (*.wmf)"_s, u"視窗 META 檔案 (*.wmf)"_s},  // 8
                 {u"JPEG pictures (*.jpg)"_s, u"JPEG 圖像 (*.jpg)"_s},            // 9
                 {u"GIF pictures (*.gif)"_s, u"GIF 圖像 (*.gif)"_s},              // 10
                 {u"Wave sounds (*.wav)"_s, u"聲音檔 (*.wav)"_s},                 // 11
                 {u"MIDI songs (*.mid)"_s, u"MIDI 音樂 (*.mid)"_s},               // 12
                 {u"AVI Videos (*.avi)"_s, u"AVI 動畫 (*.avi)"_s},                // 13
                 {u"Apple Movies (*.mov)"_s, u"Apple 動畫 (*.mov)"_s},            // 14
                 {u"MPEG Movies (*.mpg)"_s, u"MPEG 動畫 (*.mpg)"_s},              // 15
                 {u"DAT Movies (*.dat)"_s, u"DAT 動畫 (*.dat)"_s},                // 16
                 {u"CD Audio"_s, u"CD 音效"_s},                                   // 17
             });

  setEntries(HelpTitle_en, HelpTitle_zh,
             {
                 {u"Introduction"_s, u"介紹"_s},                        // 1
                 {u"Multimedia files support"_s, u"多媒體檔案支援"_s},  // 2
                 {u"Interface"_s, u"介面"_s},                           // 3
                 {u"Functions"_s, u"功能"_s},                           // 4
                 {u"Shortcut keys"_s, u"快捷鍵"_s},                     // 5
                 {u"Trouble  Shootings"_s, u"疑難排解"_s},              // 6
             });

  // Slots 7 to 10 stay empty. \u3000 is the ideographic space, written as an escape so that it shows.
  HelpBody_en[1] = joinLines({
      u"Introduction"_s,
      u"----------------------"_s,
      u"-TARNWELL Glintview v3.0 (Deluxe) provide "_s,
      u"the easiest to access the most common Multimedia files,"_s,
      u"and also it have the user friendly and cool interface."_s,
      QString(),
      u"-This is the third edition of Glintview series,"_s,
      u"many functions are added in it, see 'What's new?'"_s,
      u"in the index."_s,
  });
  HelpBody_zh[1] = joinLines({
      u"介紹"_s,
      u"--------"_s,
      u"-TARNWELL 晶影器 v3.0 (豪華版)"_s,
      u"提供最容易的方法瀏覽多媒體檔案 , 並"_s,
      u"且使用親切及酷的使用者介面。"_s,
      QString(),
      u"-這是 晶影器 系列的第三版本，"_s,
      u"到’功能’一項查看最新功能。"_s,
  });

  HelpBody_en[2] = joinLines({
      u"Multimedia files support"_s,
      u"---------------------------------------"_s,
      u"-Many common multimedia file types support is added."_s,
      u"Below multimedia file types are support"_s,
      QString(),
      u"Pictures"_s,
      u"-------------"_s,
      u"-Paste from clipboard"_s,
      u"-Bitmaps (*.bmp)"_s,
      u"-DIB pictures (*.dib)"_s,
      u"-Icons (*.ico)"_s,
      u"-Cursors (*.cur)"_s,
      u"-Windows META files (*.wmf)"_s,
      u"-JPEG pictures (*.jpg)"_s,
      u"-GIF pictures (*.gif)"_s,
      QString(),
      u"Sounds"_s,
      u"------------"_s,
      u"-Wave sounds (*.wav)"_s,
      u"-MIDI songs (*.mid)"_s,
      u"-CD Audio"_s,
      QString(),
      u"Movies"_s,
      u"------------"_s,
      u"-AVI Videos (*.avi)"_s,
      u"-Apple Movies (*.mov)"_s,
      u"-MPEG Movies (*.mpg)"_s,
      u"-DAT Movies (*.dat)"_s,
  });
  HelpBody_zh[2] = joinLines({
      u"多媒體檔案支援"_s,
      u"----------------------------"_s,
      u"圖像"_s,
      u"--------"_s,
      u"-從剪貼簿上貼上"_s,
      u"-點陣圖 (*.bmp)"_s,
      u"-器械獨立圖像 (*.dib)"_s,
      u"-圖示 (*.ico)"_s,
      u"-指標 (*.cur)"_s,
      u"-視窗 META 檔案 (*.wmf)"_s,
      u"-JPEG 圖像 (*.jpg)"_s,
      u"-GIF 圖像 (*.gif)"_s,
      QString(),
      u"聲音"_s,
      u"--------"_s,
      u"-聲音檔 (*.wav)"_s,
      u"-MIDI 音樂 (*.mid)"_s,
      u"-CD 音效"_s,
      QString(),
      u"動畫"_s,
      u"--------"_s,
      u"-AVI 動畫 (*.avi)"_s,
      u"-Apple 動畫 (*.mov)"_s,
      u"-MPEG 動畫 (*.mpg)"_s,
      u"-DAT 動畫 (*.dat)"_s,
  });

  HelpBody_en[3] = joinLines({
      u"Interface"_s,
      u"----------------"_s,
      u"-A USER FRIENDLY & COOL interface is added."_s,
      QString(),
      u"-More compact & easy interface."_s,
      u"-The Shortcut keys is added."_s,
      u"-Complete Help is added."_s,
      u"-Black cool special interface"_s,
      u"-Black cool mouse cursors"_s,
      u"-The multi-language selection, allow user to choose English and Chinese"_s,
      u"as the interface language."_s,
  });
  HelpBody_zh[3] = joinLines({
      u"介面"_s,
      u"--------"_s,
      u"-使用者親切及酷的介面"_s,
      QString(),
      u"-多功能及容易使用的介面"_s,
      u"-快捷鍵功能"_s,
      u"-完全幫助功能"_s,
      u"-黑酷特別介面"_s,
      u"-黑酷滑鼠指標"_s,
      u"-多語言選擇功能（英文 及 中文）"_s,
  });

  HelpBody_en[4] = joinLines({
      u"Functions"_s,
      u"-----------------"_s,
      u"-The following NEW functions is added."_s,
      u"-Options is added to preferences."_s,
      QString(),
      u"-Completely NEW interface."_s,
      u"-Black cool interface (Window & buttons)."_s,
      u"-Block cool mouse cursors."_s,
      u"-Multi-Language (English & Chinese)."_s,
      u"-The new multi-slider function"_s,
      u"-A NEW & free hand move picture show"_s,
      u"(Normal mode & Full Screen mode)"_s,
      u"-A more simple & funtional favourite."_s,
      u"-A NEW full screen mode."_s,
      u"-A free move & visiblel Control panel added."_s,
      u"-The complete control of Shortcut keys."_s,
      u"-Complete Help."_s,
      u"-Splash screen enable."_s,
      u"-The 'Always on the top' option."_s,
      u"-The more functional menu."_s,
      u"-Glintview 3 will save the option settings while Glintview 2 will not."_s,
  });
  HelpBody_zh[4] = joinLines({
      u"功能"_s,
      u"--------"_s,
      u"-新增了以下功能"_s,
      QString(),
      u"-全新介面"_s,
      u"-黑酷特別介面（視\u3000及滑鼠）"_s,
      u"-黑酷滑鼠指標"_s,
      u"-多語言功能（英文 及 中文）"_s,
      u"-全新滑行捲軸功能"_s,
      u"-全新自由手移圖像功能"_s,
      u"（正常模式\u3000及\u3000全畫面模式）"_s,
      u"-更簡單多功能 我的最愛"_s,
      u"-全新全畫面功能"_s,
      u"-全新自由移動及顯示控制台"_s,
      u"-全新完全快捷鍵功能"_s,
      u"-全新完全幫助"_s,
      u"-啟動畫面顯示及選舉"_s,
      u"-最上層顯示功能"_s,
      u"-更多功能的功能選單"_s,
      u"-Glintview 3 會自動儲存喜好設定。"_s,
  });

  HelpBody_en[5] = joinLines({
      u"Shortcut keys"_s,
      u"----------------------"_s,
      u"-A new, complete & useful shortcut keys function is added."_s,
      u"There are some keys functions:"_s,
      QString(),
      u"Sound & movies"_s,
      u"--------------------------"_s,
      u"Z -Back"_s,
      u"X -Play"_s,
      u"C -Pause"_s,
      u"V - Stop"_s,
      u"B - Next"_s,
      QString(),
      u"Pictures"_s,
      u"-------------"_s,
      u"Up Arrow        - Previous file"_s,
      u"Down Arrorw  - Next file"_s,
      u"Home             - Top file"_s,
      u"End                - Bottom file"_s,
      u"Page Up        - A page up file"_s,
      u"Page Down   - A page down file"_s,
      QString(),
      u"System"_s,
      u"------------"_s,
      u"Ctrl-D - Change path to Desktop"_s,
  });
  HelpBody_zh[5] = joinLines({
      u"快捷鍵"_s,
      u"------------"_s,
      u"-全新完全方便快捷列功能。"_s,
      u"以下是快捷鍵的功能:"_s,
      QString(),
      u"聲音及動畫"_s,
      u"--------------------"_s,
      u"Z -上一首"_s,
      u"X -播放"_s,
      u"C -暫停"_s,
      u"V -停止"_s,
      u"B -下一首"_s,
      QString(),
      u"圖像"_s,
      u"--------"_s,
      u"上箭咀 -上一項"_s,
      u"下箭咀 -下一項"_s,
      u"Home 鍵 - 最頭一項"_s,
      u"End 鍵      - 最底一項"_s,
      u"上一頁鍵 -上一頁"_s,
      u"下一頁鍵 -下一頁"_s,
      QString(),
      u"系統"_s,
      u"--------"_s,
      u"Ctrl D - 將資料夾設定到桌面快捷鍵"_s,
  });

  HelpBody_en[6] = joinLines({
      u"Trouble Shootings"_s,
      u"----------------------------"_s,
      u"-Please send any bugs report, suggestions, comments to"_s,
      MailAddress + u"."_s,
      QString(),
      u"-Or give your comment in TARNWELL Web sites"_s,
      WebAddress,
  });
  HelpBody_zh[6] = joinLines({
      u"疑難排解"_s,
      u"----------------"_s,
      u"-如有任何損壞及建議，請電郵到"_s,
      MailAddress,
      QString(),
      u"-或到 TARNWELL 網站瀏覽"_s,
      WebAddress,
  });

  // Column 0 Chinese, column 1 English.
  MsgText = {{
      {u"警告！！"_s, u"Warning!!"_s},                        // 0
      {u"儲存 我的最愛？"_s, u"Save the favourite list?"_s},  // 1
      {u"刪除 "_s, u"Delete file "_s},                        // 2
      {u"開啟 我的最愛"_s, u"Open a favourite list"_s},       // 3
      {u"儲存 我的最愛"_s, u"Save the favourite list"_s},     // 4
      {u"儲存為點陣圖"_s, u"Save to a bitmap file"_s},        // 5
      {u"？"_s, u"?"_s},                                      // 6
      {u"點陣圖 (*.bmp) | *.bmp | 所有檔案 (*.*) | *.*"_s,
       u"Bitmap file (*.bmp) | *.bmp | All files (*.*) | *.*"_s},  // 7
      {u"晶影器 我的最愛 (*.lst) | *.lst | 所有檔案 (*.*) | *.*"_s,
       u"Glintview List (*.lst) | *.lst | All files (*.*) | *.*"_s},  // 8
  }};
}

QString TextTables::noticeText(Notice notice, bool use_chinese) {
  switch (notice) {
    case Notice::FileNotSaved:
      return use_chinese ? u"無法儲存檔案 %1：%2\r\n原有的檔案沒有改變。"_s
                         : u"The file %1 could not be saved: %2\r\nThe file on the disk is unchanged."_s;
    case Notice::SettingsNotSaved:
      return use_chinese ? u"無法儲存設定到 %1：%2\r\n設定仍未套用到檔案。"_s
                         : u"The preferences could not be saved to %1: %2\r\nThey are not applied yet."_s;
    case Notice::FavouritesNotKept:
      return use_chinese ? u"無法儲存我的最愛到 %1：%2"_s
                         : u"The favourite list could not be saved to %1: %2"_s;
    case Notice::FileNotDeleted:
      return use_chinese ? u"無法刪除 %1：%2"_s : u"The file %1 could not be deleted: %2"_s;
    case Notice::ReplaceFile:
      return use_chinese ? u"%1 已經存在。\r\n要取代它嗎？"_s
                         : u"%1 already exists.\r\nDo you want to replace it?"_s;
    case Notice::BitmapFarLarger:
      return use_chinese ? u"點陣圖 %1 將佔用 %2 MB，遠大於原來只有 %3 位元組的圖片檔。\r\n仍要儲存嗎？"_s
                         : u"The bitmap %1 will take %2 MB, far more than the %3 bytes of the picture's "_s
                           u"file.\r\nSave it anyway?"_s;
    case Notice::ListCutShort:
      return use_chinese ? u"我的最愛清單 %1 有一行太長，不是檔案的路徑；只讀入了它之前的 %2 項。"_s
                           u"\r\n離開時只會儲存這些項目。"_s
                         : u"The favourite list %1 has a line too long to be a file's path; only the %2 "_s
                           u"favourites before it were read.\r\nOnly these will be saved back."_s;
    case Notice::ListCutShortOne:
      return use_chinese ? u"我的最愛清單 %1 有一行太長，不是檔案的路徑；只讀入了它之前的 %2 項。"_s
                           u"\r\n離開時只會儲存這一項。"_s
                         : u"The favourite list %1 has a line too long to be a file's path; only the %2 "_s
                           u"favourite before it was read.\r\nOnly this one will be saved back."_s;
    case Notice::NoSoundOutput:
      return use_chinese ? u"沒有聲音輸出"_s : u"No sound output"_s;
    case Notice::FavouritesFull:
      return use_chinese ? u"我的最愛已滿：最多只能有 %1 項。\r\n請先移除一項，再加入新的。"_s
                         : u"The favourite list is full: it holds at most %1 files.\r\nRemove one to add "_s
                           u"another."_s;
  }
  return {};
}

TextTables::Spoken TextTables::controlText(Control control, bool use_chinese) {
  struct Row {
    const char16_t* enName;
    const char16_t* enDescription;
    const char16_t* zhName;
    const char16_t* zhDescription;
  };
  static constexpr Row kRows[] = {
      {u"Previous file", u"Goes to the previous file of the list", u"上一個檔案", u"到清單的上一個檔案"},
      {u"Next file", u"Goes to the next file of the list", u"下一個檔案", u"到清單的下一個檔案"},
      {u"Step back", u"Moves the sound or movie one step back", u"後退", u"聲音或影片後退一步"},
      {u"Step forward", u"Moves the sound or movie one step forward", u"前進", u"聲音或影片前進一步"},
      {u"Play", u"Plays the sound or movie", u"播放", u"播放聲音或影片"},
      {u"Pause", u"Pauses the sound or movie", u"暫停", u"暫停聲音或影片"},
      {u"Stop", u"Stops and goes back to the start", u"停止", u"停止並回到開頭"},
      {u"Eject", u"Ejects the disc", u"退出", u"退出光碟"},
      {u"Sound", u"Turns the sound off or on", u"聲音", u"關閉或開啟聲音"},
      {u"Position and zoom", u"The playing position of a sound or movie, the zoom of a picture",
       u"位置及縮放", u"聲音或影片的播放位置，圖像的縮放"},
      {u"Move up", u"Moves the favourite up", u"上移", u"將我的最愛上移"},
      {u"Move down", u"Moves the favourite down", u"下移", u"將我的最愛下移"},
      {u"Favourites", u"The favourite files; a click opens one", u"我的最愛", u"我的最愛檔案，按一下開啟"},
      {u"Files", u"The files of the folder; a click opens one", u"檔案", u"資料夾的檔案，按一下開啟"},
      {u"Folders", u"The folder and its subfolders", u"資料夾", u"資料夾及其子資料夾"},
      {u"Drives", u"The drives and volumes", u"磁碟機", u"磁碟機及磁碟區"},
      {u"File type", u"Which files the list shows", u"檔案類型", u"清單顯示的檔案"},
      {u"Picture", u"The picture or movie shown", u"圖像", u"顯示的圖像或影片"},
      {u"Preferences", u"Opens the preferences", u"偏好設定", u"開啟偏好設定"},
      {u"Minimise", u"Minimises the window", u"最小化", u"將視窗最小化"},
      {u"Close", u"Ends the program", u"關閉", u"結束程式"},
  };
  const Row& row = kRows[static_cast<int>(control)];
  return use_chinese ? Spoken{QString::fromUtf16(row.zhName), QString::fromUtf16(row.zhDescription)}
                     : Spoken{QString::fromUtf16(row.enName), QString::fromUtf16(row.enDescription)};
}

void TextTables::selectLanguage(bool use_chinese) {
  SplashText = use_chinese ? SplashText_zh : SplashText_en;
  MainText = use_chinese ? MainText_zh : MainText_en;
  PrefText = use_chinese ? PrefText_zh : PrefText_en;
  MenuText = use_chinese ? MenuText_zh : MenuText_en;
  FilterText = use_chinese ? FilterText_zh : FilterText_en;
}
