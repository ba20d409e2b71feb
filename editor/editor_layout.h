#pragma once
// The layout: builds the whole control tree on the canvas from the layout
// table, with every colour fixed at build time. It runs when the editor opens
// and again, from scratch, when the colour theme or the track colour changes.
#include <functional>
#include <memory>
#include <string>

#include "editor/editor_controls.h"
#include "editor/palette.h"
#include "editor/text_entry.h"
#include "plugin/editor_callables.h"
#include "plugin/editor_hooks.h"

namespace tonal_panel {

struct LayoutContext {
  const ombrix::EditorCallables* callables = nullptr;
  Palette palette;
  TextEntry* textEntry = nullptr;
  std::function<float()> drawScale;
  std::function<void(float)> resizeToDrawScale;
  std::string titleText;
  ombrix::EditorTick tick;  // for the shades' first state
  // The reference-file dialog: the continuation gets the chosen path, or an
  // empty one when it was cancelled.
  std::function<void(std::function<void(const std::string&)>)> chooseReferenceFile;
  const void* logoData = nullptr;  // the SVG document; the wordmark shows when it cannot be read
  std::size_t logoSize = 0;
};

std::unique_ptr<EditorControls> BuildLayout(juce::Component& canvas, const LayoutContext& context);

// Shows and hides the shades for the parameters' state.
void ApplyShades(EditorControls& controls, const ombrix::EditorTick& tick);

}  // namespace tonal_panel
