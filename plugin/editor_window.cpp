// The editor's window as the plug-in keeps it: which editor is open, its size
// and scale, and the window scale the settings menu offers.
#include <cmath>

#include "plugin/ombrix.h"

namespace ombrix {

EditorHooks* Ombrix::OpenEditorHooks() const {
  // Asked many times a tick by every instance: with no editor open, no
  // framework lock is taken.
  if (!editorExists_.load()) return nullptr;
  return dynamic_cast<EditorHooks*>(getActiveEditor());
}

void Ombrix::RefreshEditor() const {
  if (EditorHooks* hooks = OpenEditorHooks()) hooks->RefreshAll();
}

RgbColour Ombrix::DawAccent() const {
  const RgbaColour c = DawAccentColour(trackLink_, channelContext_, 255);
  return RgbColour{c.red, c.green, c.blue};
}

float Ombrix::InitialDrawScale() const {
  if (editorWidth_ <= 0 || editorHeight_ <= 0) return 1.0f;
  return DrawScaleFor(editorWidth_, editorHeight_, screenScale_);
}

void Ombrix::RememberEditorSize(int w, int h, float screenScale) {
  if (screenScale > 0.0f) screenScale_ = screenScale;
  editorWidth_ = w;
  editorHeight_ = h;
}

float Ombrix::WindowScale() const {
  if (const EditorHooks* hooks = OpenEditorHooks())
    return static_cast<float>(static_cast<int>(kCanvasWidth * hooks->DrawScale())) / kCanvasWidth;
  if (editorWidth_ <= 0) return 1.0f;
  return editorWidth_ / (screenScale_ * kCanvasWidth);
}

void Ombrix::SetWindowScale(float scale) {
  const EditorSize size = SizeForWindowScale(scale, screenScale_);
  if (EditorHooks* hooks = OpenEditorHooks()) {
    hooks->ResizeToDrawScale(DrawScaleFor(size.width, size.height, 1.0f));
    return;
  }
  editorWidth_ = size.width;
  editorHeight_ = size.height;
}

}  // namespace ombrix
