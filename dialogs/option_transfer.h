#pragma once
// What the settings dialog edits: pointers into the application's own settings and scene.
// Every change in the dialog writes through them at once; nothing is copied back.

#include <string>

namespace kelna {

class ZoSpriteAnimation;

// Posted to the settings dialog after a File command changed the files or the scene: the
// dialog refreshes every control. WM_USER + 1.
inline constexpr unsigned int PM_REDRAW = 0x0400 + 1;

struct OptTransData {
  int* intervalTime = nullptr;         // frame interval in milliseconds
  std::string* bgImageFile = nullptr;  // background bitmap, "(なし)" or empty for none
  std::string* bgMusicFile = nullptr;  // background music, "(なし)" or empty for none
  int* bgImageMode = nullptr;          // 0 centred, 1 tiled, 2 desktop
  int* bgMusicRepeat = nullptr;        // non-zero: play the music again when it ends
  int* waveSound = nullptr;            // non-zero: sprites play their sounds
  ZoSpriteAnimation* animation = nullptr;  // the scene, not owned
};

// What the settings dialogs ask of the application object (TApp), which they reach
// through their window's application.
class SettingsHost {
 public:
  // Saves the animation file, then the settings: 1, or 0 after telling the user why not.
  [[nodiscard]] virtual int FileSave() = 0;
  // The application's scene.
  virtual ZoSpriteAnimation& Scene() = 0;

 protected:
  ~SettingsHost() = default;
};

}  // namespace kelna
