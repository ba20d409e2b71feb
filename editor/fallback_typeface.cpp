#include "editor/fallback_typeface.h"

#include <algorithm>

namespace tonal_panel {
namespace {

// Broad faces found on Linux desktops and on Windows, tried before the rest.
const char* const kPreferredFaces[] = {"DejaVu Sans",     "Noto Sans",        "Noto Sans CJK JP", "Noto Sans CJK SC",
                                       "Droid Sans Fallback", "WenQuanYi Micro Hei", "Segoe UI",      "Segoe UI Symbol",
                                       "Yu Gothic",       "Microsoft YaHei",  "Malgun Gothic",    "Arial Unicode MS"};

// A character no face has: faces draw their stand-in for it.
constexpr juce::juce_wchar kNoCharacter = 0x10FFFE;

struct GlyphOf {
  juce::Path outline;
  float advance = 0.0f;
};

GlyphOf Glyph(juce::Typeface& face, juce::juce_wchar c) {
  juce::Array<int> glyphs;
  juce::Array<float> offsets;
  face.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
  GlyphOf g;
  if (glyphs.isEmpty() || offsets.size() < 2) return g;
  face.getOutlineForGlyph(glyphs.getFirst(), g.outline);
  g.advance = offsets[1];
  return g;
}

}  // namespace

FallbackTypeface::FallbackTypeface(juce::Typeface::Ptr embedded)
    : juce::Typeface(embedded->getName(), embedded->getStyle()) {
  faces_.push_back(std::move(embedded));
}

bool FallbackTypeface::Covers(juce::Typeface& face, juce::juce_wchar c) {
  if (c <= ' ') return true;  // controls and the space are never drawn
  const GlyphOf glyph = Glyph(face, c);
  const GlyphOf standIn = Glyph(face, kNoCharacter);
  return !(glyph.advance == standIn.advance && glyph.outline == standIn.outline);
}

std::size_t FallbackTypeface::FaceFor(juce::juce_wchar c) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto known = faceOf_.find(c);
  if (known != faceOf_.end()) return known->second;
  const std::size_t face = Covers(*faces_.front(), c) ? 0 : FindFallbackFor(c);
  faceOf_.emplace(c, face);
  return face;
}

std::size_t FallbackTypeface::FindFallbackFor(juce::juce_wchar c) {
  for (std::size_t i = 1; i < faces_.size(); ++i)
    if (Covers(*faces_[i], c)) return i;
  if (!candidatesListed_) {
    candidatesListed_ = true;
    juce::StringArray all = juce::Font::findAllTypefaceNames();
    for (const char* preferred : kPreferredFaces)
      if (all.contains(preferred)) candidates_.push_back(preferred);
    for (const juce::String& name : all)
      if (std::find(candidates_.begin(), candidates_.end(), name) == candidates_.end()) candidates_.push_back(name);
  }
  // Open further system faces, best first, until one has the character.
  while (!candidates_.empty() && faces_.size() < kMaxFaces) {
    const juce::String name = candidates_.front();
    candidates_.erase(candidates_.begin());
    juce::Typeface::Ptr face = juce::Font(name, 10.0f, juce::Font::plain).getTypefacePtr();
    if (face == nullptr || face->getName() == faces_.front()->getName()) continue;
    faces_.push_back(face);
    if (Covers(*face, c)) return faces_.size() - 1;
  }
  return 0;  // nothing has it: the embedded face's stand-in
}

juce::Typeface* FallbackTypeface::Face(int glyphNumber) {
  const auto index = static_cast<std::size_t>(glyphNumber >> kFaceShift);
  std::lock_guard<std::mutex> guard(lock_);
  return index < faces_.size() ? faces_[index].get() : nullptr;
}

void FallbackTypeface::getGlyphPositions(const juce::String& text, juce::Array<int>& glyphs,
                                         juce::Array<float>& xOffsets) {
  xOffsets.add(0.0f);
  float x = 0.0f;
  auto start = text.getCharPointer();
  while (!start.isEmpty()) {
    // The longest run drawn by one face.
    const std::size_t face = FaceFor(*start);
    auto end = start;
    while (!end.isEmpty() && FaceFor(*end) == face) ++end;
    juce::Array<int> runGlyphs;
    juce::Array<float> runOffsets;
    juce::Typeface* drawing = Face(static_cast<int>(face << kFaceShift));
    drawing->getGlyphPositions(juce::String(start, end), runGlyphs, runOffsets);
    for (int i = 0; i < runGlyphs.size(); ++i) {
      glyphs.add(static_cast<int>(face << kFaceShift) | (runGlyphs[i] & kGlyphMask));
      xOffsets.add(x + runOffsets[i + 1]);
    }
    x += runOffsets.isEmpty() ? 0.0f : runOffsets.getLast();
    start = end;
  }
}

float FallbackTypeface::getStringWidth(const juce::String& text) {
  juce::Array<int> glyphs;
  juce::Array<float> offsets;
  getGlyphPositions(text, glyphs, offsets);
  return offsets.getLast();
}

bool FallbackTypeface::getOutlineForGlyph(int glyphNumber, juce::Path& path) {
  juce::Typeface* face = Face(glyphNumber);
  return face != nullptr && face->getOutlineForGlyph(glyphNumber & kGlyphMask, path);
}

juce::EdgeTable* FallbackTypeface::getEdgeTableForGlyph(int glyphNumber, const juce::AffineTransform& transform,
                                                        float fontHeight) {
  juce::Typeface* face = Face(glyphNumber);
  return face == nullptr ? nullptr : face->getEdgeTableForGlyph(glyphNumber & kGlyphMask, transform, fontHeight);
}

}  // namespace tonal_panel
