// The update pill against a real update check fetching from a loopback feed
// server: invisible (and transparent to the mouse) while no newer version is
// known, "1.2.0 AVAILABLE" once one is, with the title stopping 10 pixels
// before it and a click opening the version's page.
#include <gtest/gtest.h>

#include "editor/editor_layout.h"
#include "editor/update_pill_control.h"
#include "library/data_folders.h"
#include "library/update_check.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/temp_data_home.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using kestrune::controls::UpdatePillControl;
using kestrune::updates::UpdateCheck;

std::string FeedFor(const std::string& version) {
  return R"({"ombrix":{"version":")" + version + R"(","page":"/plugins/ombrix"}})";
}

struct UpdatePillTest : testing::Test {
  UpdatePillTest() {
    callables.updateState = [this] { return check->State(); };
    callables.openUrl = [this](const std::string& address) { opened.push_back(address); };
  }
  void Check(const std::string& version) {
    feed = FeedFor(version);
    kestrune::updates::UpdateCheckConfig config = kestrune::updates::MakeUpdateCheckConfig("ombrix", "0.4.10");
    config.feedAddress = server.Url("/updates.json");
    check = std::make_unique<UpdateCheck>(config);
    check->CheckNow();  // as the service worker does: fetch, then take the result
    check->Refresh();
    canvas.setBounds(0, 0, 640, 400);
    canvas.setVisible(true);
    tonal_panel::LayoutContext context;
    context.callables = &callables;
    context.textEntry = &entry;
    controls = tonal_panel::BuildLayout(canvas, context);
    Pill().Poll();
  }
  UpdatePillControl& Pill() { return *controls->updatePill; }
  juce::Component* ComponentAt(float x, float y) { return canvas.getComponentAt(juce::Point<float>(x, y).roundToInt()); }

  ScopedEnvironment noProxy{"no_proxy", "*"};
  ScopedEnvironment noOverride{kestrune::updates::kFeedAddressVariable, nullptr};
  TempDataHome home;
  EditorFontsHeld fonts;
  std::string feed;
  LoopbackHttpServer server{[this](const HttpRequestRecord&) { return Respond(200, feed); }};
  std::unique_ptr<UpdateCheck> check;
  EditorCallables callables;
  std::vector<std::string> opened;
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  std::unique_ptr<tonal_panel::EditorControls> controls;
};

TEST_F(UpdatePillTest, WithoutANewerVersionThePillIsInvisibleAndClicksPassThrough) {
  Check("0.4.10");
  EXPECT_TRUE(Pill().Pill().isEmpty());
  EXPECT_TRUE(Pill().Text().empty());
  EXPECT_NE(ComponentAt(500, 53), &Pill()) << "the mouse goes to what lies below";
  EXPECT_EQ(controls->title->getRight(), 504);
  const juce::Image image = RenderOnCanvas(Pill(), 1.0f, juce::Colours::black);
  EXPECT_TRUE(ColourNear(PixelAt(image, 500, 53, 1.0f), juce::Colours::black)) << "nothing drawn";
}

TEST_F(UpdatePillTest, ANewerVersionShowsItsPillAndTheTitleMakesRoom) {
  Check("1.2.0");
  EXPECT_EQ(Pill().Text(), "1.2.0 AVAILABLE");
  const juce::Rectangle<float> pill = Pill().Pill();
  EXPECT_FLOAT_EQ(pill.getRight(), 524.0f) << "right-aligned in (364, 41, 524, 65)";
  EXPECT_FLOAT_EQ(pill.getY(), 41.0f);
  EXPECT_FLOAT_EQ(pill.getBottom(), 65.0f);
  EXPECT_NEAR(pill.getWidth(), 24.0f * 2.0f / 3.0f + tonal_panel::TextWidth(tonal_panel::text_styles::Pill(), "1.2.0 AVAILABLE"),
              0.01f);
  EXPECT_EQ(controls->title->getRight(), static_cast<int>(std::floor(pill.getX())) - 10);

  EXPECT_EQ(ComponentAt(pill.getCentreX(), 53), &Pill());
  EXPECT_NE(ComponentAt(pill.getX() - 3, 53), &Pill()) << "left of the pill is not the pill";
  for (const float scale : {1.0f, 2.0f}) {
    const juce::Image image = RenderOnCanvas(Pill(), scale, juce::Colours::black);
    EXPECT_TRUE(ColourNear(PixelAt(image, pill.getX() + 4, 53, scale), tonal_panel::Argb(255, 252, 120, 92)));
  }
  Pill().mouseDown(MouseAt(Pill(), pill.getCentre()));
  EXPECT_EQ(opened, (std::vector<std::string>{"https://kestrune.com/plugins/ombrix"}));
}

TEST_F(UpdatePillTest, SwitchingTheCheckOffHidesThePillOnTheNextTick) {
  Check("1.2.0");
  ASSERT_FALSE(Pill().Pill().isEmpty());
  check->SetEnabled(false);
  Pill().Poll();
  EXPECT_TRUE(Pill().Pill().isEmpty());
  EXPECT_EQ(controls->title->getRight(), 504);
}

}  // namespace
}  // namespace ombrix::test
