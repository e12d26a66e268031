#pragma once

// What the other windows read of the preferences: the option check boxes and the shortcut switch, read live
// from the preferences window's controls (the settings file is written from them as well) through this one
// reader, so that no window reaches into the preferences' controls. `Program::options()` hands it out.
class Options {
 public:
  // The option check boxes; the settings file holds them on lines 2 to 8.
  enum CheckIndex : int {
    SlideshowMedia = 0,   // "S&lideshow of sounds and movies"
    LoopMedia = 1,        // "&Loop play for each media"
    StopCdAtExit = 2,     // "&Stop CD at exit"
    AutoPlayOnClick = 3,  // "&Auto play when click"
    OwnCursors = 4,       // "&Use Glintview Mouse Cursors"
    ShowSplash = 5,       // "&Show splash screen"
    AlwaysOnTop = 6,      // "&Always on the top"
  };

  // A check box's value as the options use it: 0 off, 1 on, 2 greyed.
  virtual int CheckValue(int index) const = 0;
  // The shortcut switch: true while "Short keys" is set to "Enable".
  virtual bool Option1Value() const = 0;

 protected:
  Options() = default;
  ~Options() = default;
  Options(const Options&) = default;
  Options& operator=(const Options&) = default;
};
