#pragma once
// What the plug-in asks of its open editor. The editor implements this; the
// plug-in finds it through the active editor, so the plug-in never depends on
// the editor's classes. All calls come on the message thread.
#include <functional>
#include <string>

namespace ombrix {

// What the shades and live controls follow on every idle tick.
struct EditorTick {
  bool correct = false;   // "Correct" is on
  bool freeze = false;    // "Freeze" is on
  bool bypassed = false;  // "Bypass" is on, or the host bypassed the plug-in
};

class EditorHooks {
 public:
  virtual ~EditorHooks() = default;

  // The screen's scale factor the editor is shown at (1 on a plain screen).
  virtual float ScreenScale() const = 0;
  // The draw scale of the 640 x 400 canvas.
  virtual float DrawScale() const = 0;
  // Shows the canvas at a new draw scale and asks the host for the window
  // size that goes with it.
  virtual void ResizeToDrawScale(float scale) = 0;

  // Builds all controls afresh (the colour theme or the track colour changed).
  virtual void Rebuild() = 0;
  virtual void ShowTitle(const std::string& text) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  // Shades, live controls and parameter-bound controls, once per idle tick.
  virtual void Tick(const EditorTick& tick) = 0;
  // Redraws every control, for changes the tick does not follow (a preset
  // loaded, learning started or stopped, frozen values captured).
  virtual void RefreshAll() = 0;

  // A Yes/No question in the editor's window. The answer comes later, on the
  // message thread: answered(true) only on Yes, answered(false) on No or when
  // the editor closes first.
  virtual void AskYesNo(const std::string& caption, const std::string& question,
                        std::function<void(bool yes)> answered) = 0;
  // A message with an OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

}  // namespace ombrix
