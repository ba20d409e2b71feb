#include "editor/pending_paint_flush.h"

#include <utility>

namespace tonal_panel {

PendingPaintFlush::PendingPaintFlush(juce::Component& window)
    : window_(window), blanks_(&window, [this] { blankSeen_ = true; }) {}

void PendingPaintFlush::Tick() {
  if (std::exchange(blankSeen_, false)) return;
  if (juce::ComponentPeer* peer = window_.getPeer()) peer->performAnyPendingRepaintsNow();
}

}  // namespace tonal_panel
