// The window's size rules and the window scale.
#include <gtest/gtest.h>

#include "editor/layout.h"
#include "plugin/editor_size.h"

namespace ombrix::test {
namespace {

TEST(EditorSize, ConstrainEditorResize) {
  const struct {
    int w, h;
    float q;
    int expectedW, expectedH;
    bool unchanged;
  } cases[] = {
      {640, 400, 1.0f, 640, 400, true},     {480, 300, 1.0f, 480, 300, true},
      {1280, 800, 1.0f, 1280, 800, true},   {2000, 2000, 1.0f, 1280, 800, false},
      {500, 500, 1.0f, 500, 313, false},    {100, 50, 1.0f, 480, 300, false},
      {700, 400, 1.0f, 640, 400, false},    {2000, 2000, 2.0f, 2000, 1250, false},
      {2560, 1600, 2.0f, 2560, 1600, true}, {1281, 801, 1.0f, 1280, 800, false},
  };
  for (const auto& c : cases) {
    int w = c.w, h = c.h;
    EXPECT_EQ(ConstrainEditorResize(w, h, c.q), c.unchanged) << c.w << "x" << c.h << " at " << c.q;
    EXPECT_EQ(w, c.expectedW) << c.w << "x" << c.h << " at " << c.q;
    EXPECT_EQ(h, c.expectedH) << c.w << "x" << c.h << " at " << c.q;
  }
}

TEST(EditorSize, DrawScaleAndWindowScale) {
  EXPECT_FLOAT_EQ(DrawScaleFor(1280, 800, 1.0f), 2.0f);
  EXPECT_FLOAT_EQ(DrawScaleFor(1280, 800, 2.0f), 1.0f);
  EXPECT_FLOAT_EQ(DrawScaleFor(960, 500, 1.0f), 1.25f);  // the smaller of the two fits
  const struct {
    float scale;
    int w, h;
  } cases[] = {{0.75f, 480, 300}, {1.0f, 640, 400}, {1.5f, 960, 600}, {2.0f, 1280, 800}, {3.0f, 1280, 800}, {0.5f, 480, 300}};
  for (const auto& c : cases) {
    const EditorSize size = SizeForWindowScale(c.scale, 1.0f);
    EXPECT_EQ(size.width, c.w) << c.scale;
    EXPECT_EQ(size.height, c.h) << c.scale;
  }
}

TEST(EditorLayout, EveryControlLiesOnTheCanvasInItsOrder) {
  using namespace tonal_panel;
  for (const LayoutEntry& e : kLayout) {
    EXPECT_GE(e.bounds.left, 0);
    EXPECT_GE(e.bounds.top, 0);
    EXPECT_LE(e.bounds.right, 640);
    EXPECT_LE(e.bounds.bottom, 400);
    EXPECT_LE(e.bounds.left, e.bounds.right);
    EXPECT_LE(e.bounds.top, e.bounds.bottom);
  }
  // Later entries draw on top: the bypass shade covers the card's controls,
  // the preset bar and the footer come after it.
  const auto position = [](ControlId id) {
    for (std::size_t i = 0; i < kLayout.size(); ++i)
      if (kLayout[i].id == id) return i;
    return kLayout.size();
  };
  EXPECT_LT(position(ControlId::Spectrum), position(ControlId::BypassShade));
  EXPECT_LT(position(ControlId::LoudnessChip), position(ControlId::BypassShade));
  EXPECT_LT(position(ControlId::BypassShade), position(ControlId::PresetBar));
  EXPECT_LT(position(ControlId::KnobRow), position(ControlId::CorrectShadeSpeed));
  for (const KnobColumn& column : kKnobColumns) {
    const CanvasRect knob = KnobBounds(column.centreX), caption = CaptionBounds(column.centreX);
    const CanvasRect row = EntryOf(ControlId::KnobRow).bounds;
    EXPECT_TRUE(knob.left >= row.left && knob.right <= row.right && caption.bottom <= row.bottom) << column.centreX;
  }
  // The title and the update pill share the header's right part: the title
  // stops short of the bypass pill, and 10 pixels before the update pill
  // when that is as wide as it can be.
  const CanvasRect title = EntryOf(ControlId::Title).bounds, pill = EntryOf(ControlId::UpdatePill).bounds;
  EXPECT_EQ(title.right, kTitleRightWithoutPill);
  EXPECT_LT(title.right, EntryOf(ControlId::BypassPill).bounds.left);
  EXPECT_GT(pill.left - kTitleGapBeforePill, title.left);
}

}  // namespace
}  // namespace ombrix::test
