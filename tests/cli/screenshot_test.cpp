// "ombrix screenshot": the editor drawn after it has listened, at its size
// and scale, with a menu open when asked; checked at chosen pixels.
#include <gtest/gtest.h>

#include <memory>

#include "cli/png_image.h"
#include "cli/program_run.h"
#include "support/audio_fixtures.h"

namespace ombrix::test_support {
namespace {

constexpr Rgba kCard{20, 20, 20, 255};
constexpr Rgba kWindowBackground{10, 10, 10, 255};
constexpr Rgba kGreenAccent{21, 232, 121, 255};

class ScreenshotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = std::make_unique<ScopedTempFolder>("cli-screenshot"); }
  static void TearDownTestSuite() { folder_.reset(); }
  static std::string Path(const std::string& name) { return (*folder_ / name).string(); }
  static std::unique_ptr<ScopedTempFolder> folder_;
};

std::unique_ptr<ScopedTempFolder> ScreenshotTest::folder_;

TEST_F(ScreenshotTest, TheWindowAtItsScaleAfterListening) {
  for (const auto& [scale, width, height] : {std::tuple{"1", 640, 400}, std::tuple{"2", 1280, 800}}) {
    const std::string png = Path(std::string("window-") + scale + ".png");
    const ProgramRun run = RunOmbrix({"screenshot", "-o", png, "--correct", "--scale", scale, "--quiet"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::optional<PngImage> image = ReadPng(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, width);
    EXPECT_EQ(image->height, height);
    const float s = static_cast<float>(width) / 640.0f;
    const auto at = [&](float x, float y) { return image->At(static_cast<int>(x * s), static_cast<int>(y * s)); };
    EXPECT_TRUE(Near(at(5, 200), kWindowBackground)) << "left of the card";
    EXPECT_TRUE(Near(at(485, 200), kCard)) << "the card beside the divider";
    EXPECT_TRUE(Near(at(29.1f, 267), kGreenAccent, 40)) << "the lit dot of CORRECT";
    // The spectrum has drawn something besides its dark plot: the input's
    // area and curves after the programme played.
    int lit = 0;
    for (float x = 30; x < 470; x += 2)
      for (float y = 112; y < 248; y += 2) lit += at(x, y).r > 60 || at(x, y).g > 60;
    EXPECT_GT(lit, 500);
  }
}

TEST_F(ScreenshotTest, AMenuOpenBelowItsControl) {
  const std::string png = Path("target-menu.png");
  const ProgramRun run = RunOmbrix({"screenshot", "-o", png, "--menu", "target", "--quiet"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::optional<PngImage> image = ReadPng(png);
  ASSERT_TRUE(image);
  // Below the target chip (72..250, 81..103) the menu's own background
  // covers the spectrum.
  EXPECT_TRUE(Near(image->At(200, 150), Rgba{30, 30, 30, 255}, 2));
  EXPECT_TRUE(Near(image->At(230, 290), Rgba{30, 30, 30, 255}, 2)) << "eleven rows tall, down into the knob row";
}

TEST_F(ScreenshotTest, UsageErrors) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"screenshot"}, {"screenshot", "-o", Path("x.png"), "--scale", "3"},
        {"screenshot", "-o", Path("x.png"), "--menu", "file"}}) {
    const ProgramRun run = RunOmbrix(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments.back();
    EXPECT_FALSE(run.err.empty());
  }
}

}  // namespace
}  // namespace ombrix::test_support
