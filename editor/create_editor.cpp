// The one place that joins the plug-in and its editor.
#include "editor/ombrix_editor.h"
#include "plugin/ombrix.h"

namespace ombrix {

juce::AudioProcessorEditor* Ombrix::createEditor() {
  OnUIOpen();
  editorExists_.store(true);
  return new tonal_panel::OmbrixEditor(*this, MakeEditorCallables(*this));
}

}  // namespace ombrix
