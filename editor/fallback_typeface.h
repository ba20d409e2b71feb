#pragma once
// A typeface that draws with one embedded face and, for the characters that
// face lacks (a check mark, Japanese or Chinese in a name the user typed),
// with a face of the system that has them, so no text shows as empty boxes.
// Runs of the embedded face keep its own spacing and kerning.
#include <mutex>
#include <unordered_map>
#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace tonal_panel {

class FallbackTypeface final : public juce::Typeface {
 public:
  explicit FallbackTypeface(juce::Typeface::Ptr embedded);

  // Whether a face has a glyph of its own for the character (not the
  // stand-in it draws for characters it lacks).
  static bool Covers(juce::Typeface& face, juce::juce_wchar c);

  // juce::Typeface
  float getAscent() const override { return faces_.front()->getAscent(); }
  float getDescent() const override { return faces_.front()->getDescent(); }
  float getHeightToPointsFactor() const override { return faces_.front()->getHeightToPointsFactor(); }
  float getStringWidth(const juce::String& text) override;
  void getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
  bool getOutlineForGlyph(int glyphNumber, juce::Path& path) override;
  juce::EdgeTable* getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                        float fontHeight) override;

 private:
  // Glyph numbers carry the index of their face in the bits above these.
  static constexpr int kFaceShift = 24;
  static constexpr int kGlyphMask = (1 << kFaceShift) - 1;
  static constexpr std::size_t kMaxFaces = 127;  // what fits above the shift in an int

  // The face that draws c: 0 for the embedded one, or a fallback's index.
  std::size_t FaceFor(juce::juce_wchar c);
  std::size_t FindFallbackFor(juce::juce_wchar c);
  juce::Typeface* Face(int glyphNumber);

  std::mutex lock_;  // the faces and the cache; fonts may be used off the message thread
  std::vector<juce::Typeface::Ptr> faces_;
  std::vector<juce::String> candidates_;  // system faces not yet opened, best first
  bool candidatesListed_ = false;
  std::unordered_map<juce::juce_wchar, std::size_t> faceOf_;
};

}  // namespace tonal_panel
