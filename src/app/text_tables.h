#pragma once

#include <QString>

#include <array>

// The interface texts of both languages. Caption tables are numbered from 1 (slot 0 stays empty) and come
// in three copies: English (_en), Chinese (_zh), and the current copy that ApplyInterface fills.
// fill() builds every fixed table once at start-up; nothing is read from outside.
struct TextTables {
  std::array<QString, 3> SplashText_en, SplashText_zh, SplashText;
  std::array<QString, 10> MainText_en, MainText_zh, MainText;
  std::array<QString, 30> PrefText_en, PrefText_zh, PrefText;
  std::array<QString, 16> MenuText_en, MenuText_zh, MenuText;
  std::array<QString, 18> FilterText_en, FilterText_zh, FilterText;

  // Help topics: slots 1 to 10, of which 1 to 6 are filled. Bodies are lines joined by CR LF.
  std::array<QString, 11> HelpTitle_en, HelpTitle_zh, HelpBody_en, HelpBody_zh;

  // Messages: rows 0 to 8; column 0 Chinese, column 1 English.
  std::array<std::array<QString, 2>, 9> MsgText;
  enum MsgRow : int {
    MsgWarning = 0,           // the title of every warning
    MsgSaveListQuestion = 1,  // asked before a new or opened list replaces changed favourites
    MsgDeleteFile = 2,        // "Delete file " + the path + MsgQuestionMark
    MsgOpenList = 3,          // the file dialogs' titles
    MsgSaveList = 4,
    MsgSaveBitmap = 5,
    MsgQuestionMark = 6,
    MsgBitmapFilter = 7,  // the file dialogs' filters
    MsgListFilter = 8,
  };

  // The maker's addresses, used inside several texts.
  static const QString WebAddress;
  static const QString MailAddress;
  // The product's title (the windows' title bars, the splash, the about page) and its short name (the
  // logo's caption, the media player's name on the desktop's panel); the same in both languages.
  static const QString ProductTitle;
  static const QString ProductName;
  // The failed "Open with" (title and prompt): fixed English texts, shown in both languages.
  static const QString OpenWithFailedTitle;
  static const QString OpenWithFailedPrompt;

  // The full-screen panel's toggle button names the view its next press brings.
  enum class ToggleView { Folder, Drive, File };
  static QString toggleText(ToggleView view, bool use_chinese);
  // The same caption in the given language; a caption that is none of them stays as it is.
  static QString toggleTextIn(const QString& caption, bool use_chinese);

  void fill();

  // Copies the English or the Chinese caption tables into the current copies.
  void selectLanguage(bool use_chinese);

  // Our own messages, for what the fixed table has no words for: failures the user must hear of.
  enum class Notice {
    FileNotSaved,       // %1 the file, %2 the reason; the old file is unchanged
    SettingsNotSaved,   // %1 the settings file, %2 the reason
    FavouritesNotKept,  // %1 "default.lst", %2 the reason; said at exit
    FileNotDeleted,     // %1 the file, %2 the reason
    ReplaceFile,        // %1 the file a save would replace; asked Yes / No
    BitmapFarLarger,    // %1 the bitmap file, %2 its size in MB, %3 the bytes of the picture's file; Yes / No
    ListCutShort,       // %1 the list file, %2 how many favourites were read
    ListCutShortOne,    // the same when one was read
    NoSoundOutput,      // the status frame's note: sounds play, but no audio output of the machine opened
    FavouritesFull,     // %1 how many favourites the list holds at most
  };
  static QString noticeText(Notice notice, bool use_chinese);

  // What a screen reader says of the main window's controls: a name and a description in each language.
  enum class Control {
    Previous,
    Next,
    Back,
    Forward,
    Play,
    Pause,
    Stop,
    Eject,
    Speaker,
    Slider,
    Up,
    Down,
    Favourites,
    Files,
    Folders,
    Drives,
    FileType,
    Picture,
    Logo,
    Minimise,
    Close,
  };
  struct Spoken {
    QString name;
    QString description;
  };
  static Spoken controlText(Control control, bool use_chinese);

  // MsgText row in the given language.
  const QString& msg(int row, bool use_chinese) const { return MsgText[row][use_chinese ? 0 : 1]; }
};
