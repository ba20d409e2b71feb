#include "library/target_curve.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <locale>
#include <sstream>
#include <string>

#include "library/factory_targets.h"

namespace ombrix {
namespace {

using dsp::GridCurve;
using dsp::kGridPoints;

const std::string kLabel = "my file";

GridCurve Ramp(double start, double step) {
  GridCurve values{};
  for (std::size_t i = 0; i < kGridPoints; ++i) values[i] = start + step * static_cast<double>(i);
  return values;
}

std::string List(std::size_t count, const std::string& value) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i ? " " : "") + value;
  return text;
}

struct ReadResult {
  bool ok = false;
  TargetCurve target;
  std::string error;
};

ReadResult Read(const std::string& text, const std::string& label = kLabel) {
  ReadResult result;
  std::istringstream in(text);
  result.ok = ReadTargetText(in, result.target, result.error, label);
  return result;
}

// A complete, valid target text with replaceable lines.
std::string Text(const std::string& header = "Ombrix target 1", const std::string& points = "points=180",
                 const std::string& curve = "curve=" + List(180, "1.5"),
                 const std::string& extra = "spread=" + List(180, "2.25")) {
  return header + "\nname=Warm\n" + points + "\n" + curve + "\n" + extra + "\n";
}

TEST(TargetText, WritesTheExactLayout) {
  GridCurve curve{};
  curve[0] = -24.443;
  curve[1] = 7.4874;
  curve[2] = -0.0001;  // rounds to zero but keeps its sign
  curve[3] = 12345.6789;
  curve[4] = 0.0005;
  GridCurve spread = Ramp(0.0, 0.5);
  const std::string text = WriteTargetText("Warm\r\nvoice", "", curve, spread);

  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "Ombrix target 1");
  std::getline(lines, line);
  EXPECT_EQ(line, "name=Warm  voice");
  std::getline(lines, line);
  EXPECT_EQ(line, "points=180");
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("curve=-24.443 7.487 -0.000 12345.679 0.001 0.000 0.000", 0), 0u) << line;
  EXPECT_EQ(line, "curve=" + FormatLevels(curve));
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("spread=0.000 0.500 1.000 1.500", 0), 0u);
  EXPECT_EQ(line.substr(line.size() - 7), " 89.500");
  EXPECT_FALSE(std::getline(lines, line));
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find("source="), std::string::npos);

  const std::string levels = FormatLevels(spread);
  EXPECT_EQ(std::count(levels.begin(), levels.end(), ' '), 179);
  EXPECT_NE(levels.front(), ' ');
  EXPECT_NE(levels.back(), ' ');
}

TEST(TargetText, RoundTripsNameSourceAndRoundedValues) {
  const GridCurve curve = Ramp(-30.12345, 0.333333);
  const GridCurve spread = Ramp(0.0004, 0.1);
  const ReadResult read = Read(WriteTargetText("Name = with equals", "Tüne\n1.wav", curve, spread));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.target.name, "Name = with equals");
  EXPECT_EQ(read.target.source, "Tüne 1.wav");
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    EXPECT_NEAR(read.target.curve[i], std::round(curve[i] * 1000.0) / 1000.0, 1e-12) << i;
    EXPECT_NEAR(read.target.spread[i], std::round(spread[i] * 1000.0) / 1000.0, 1e-12) << i;
  }
  EXPECT_TRUE(read.target.path.empty());
  EXPECT_FALSE(read.target.factory);

  const ReadResult noSource = Read(WriteTargetText("Plain", "", curve, spread));
  ASSERT_TRUE(noSource.ok);
  EXPECT_EQ(noSource.target.source, "");
}

TEST(TargetText, CrLfReadsLikeLf) {
  const std::string lf = WriteTargetText("Crisp", "a.flac", Ramp(-3.0, 0.01), Ramp(1.0, 0.02));
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ReadResult a = Read(lf);
  const ReadResult b = Read(crlf);
  ASSERT_TRUE(a.ok && b.ok) << b.error;
  EXPECT_EQ(a.target.name, b.target.name);
  EXPECT_EQ(a.target.source, b.target.source);
  EXPECT_EQ(a.target.curve, b.target.curve);
  EXPECT_EQ(a.target.spread, b.target.spread);
}

TEST(TargetText, FailsWithTheFirstReasonThatApplies) {
  const std::string header = "not an Ombrix target: my file";
  const std::string grid = "the target was written for another frequency grid: my file";
  const std::string curve = "the target has no complete curve: my file";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", header},
      {"\n", header},
      {Text("Ombrix target 1 "), header},
      {Text("ombrix target 1"), header},
      {Text("\xEF\xBB\xBFOmbrix target 1"), header},
      {Text("Ombrix target 2"), header},
      {"Ombrix target 1\ncurve=1", grid},  // neither points nor curve: the grid is reported
      {Text("Ombrix target 1", "points=180 "), grid},
      {Text("Ombrix target 1", "points=0180"), grid},
      {Text("Ombrix target 1", "points=179"), grid},
      {Text("Ombrix target 1", "no points"), grid},
      {Text("Ombrix target 1", "Points=180"), grid},
      {Text("Ombrix target 1", "points=180\npoints=181"), grid},  // the later line wins
      {Text("Ombrix target 1", "points=180", "curve=" + List(179, "1")), curve},
      {Text("Ombrix target 1", "points=180", "curve=" + List(179, "1") + " nan"), curve},
      {Text("Ombrix target 1", "points=180", "curve=" + List(179, "1") + " inf"), curve},
      {Text("Ombrix target 1", "points=180", "curve=" + List(179, "1") + " 1e999"), curve},
      {Text("Ombrix target 1", "points=180", "curve=" + List(90, "1,5")), curve},
      {Text("Ombrix target 1", "points=180", "curve=" + List(180, "1") + "\ncurve=" + List(10, "1")), curve},
      {Text("Ombrix target 1", "points=180", "no curve"), curve},
  };
  for (const auto& c : cases) {
    const ReadResult read = Read(c.text);
    EXPECT_FALSE(read.ok) << c.text.substr(0, 60);
    EXPECT_EQ(read.error, c.error) << c.text.substr(0, 60);
  }
}

TEST(TargetText, AFailedReadLeavesTheRecordAlone) {
  TargetCurve target;
  target.name = "kept";
  target.curve.fill(4.0);
  std::istringstream in(Text("Ombrix target 1", "points=180", "curve=" + List(100, "9")));
  std::string error;
  EXPECT_FALSE(ReadTargetText(in, target, error, kLabel));
  EXPECT_EQ(target.name, "kept");
  EXPECT_EQ(target.curve[0], 4.0);
}

TEST(TargetText, AcceptsWhatTheFormatAllows) {
  const ReadResult longCurve =
      Read(Text("Ombrix target 1", "points=180", "curve=" + List(180, "-1.25") + " 99 trailing words"));
  ASSERT_TRUE(longCurve.ok) << longCurve.error;
  EXPECT_EQ(longCurve.target.curve[179], -1.25);

  // Order free, unknown keys and lines without "=" skipped, empty lines skipped, later name wins.
  const std::string shuffled = "Ombrix target 1\r\nspread=" + List(180, "3") + "\ncomment line\n\n" +
                               "colour=blue\nname=First\ncurve=" + List(180, "+2.5e1") + "\nname=Second=Best\n" +
                               "Name=ignored\nname =ignored\npoints=179\npoints=180\n";
  const ReadResult any = Read(shuffled);
  ASSERT_TRUE(any.ok) << any.error;
  EXPECT_EQ(any.target.name, "Second=Best");
  EXPECT_EQ(any.target.curve[17], 25.0);
  EXPECT_EQ(any.target.spread[100], 3.0);
}

TEST(TargetText, SpreadAndNameFallBack) {
  const struct {
    std::string spreadLine;
    double expected;
  } spreads[] = {
      {"", 0.0},
      {"spread=" + List(179, "4"), 0.0},
      {"spread=" + List(179, "4") + " nan", 0.0},
      {"spread=" + List(180, "4"), 4.0},
      {"spread=" + List(180, "4") + "\nspread=" + List(3, "4"), 0.0},
  };
  for (const auto& s : spreads) {
    const ReadResult read = Read(Text("Ombrix target 1", "points=180", "curve=" + List(180, "1"), s.spreadLine));
    ASSERT_TRUE(read.ok) << read.error;
    for (double v : read.target.spread) ASSERT_EQ(v, s.expected) << s.spreadLine.substr(0, 30);
  }

  const std::string body = "points=180\ncurve=" + List(180, "0") + "\n";
  EXPECT_EQ(Read("Ombrix target 1\n" + body).target.name, kLabel);
  EXPECT_EQ(Read("Ombrix target 1\nname=\n" + body).target.name, kLabel);
  EXPECT_EQ(Read("Ombrix target 1\nname= \n" + body).target.name, " ");
}

TEST(TargetText, ValuesAreKeptInTheirRange) {
  const ReadResult read = Read(Text("Ombrix target 1", "points=180", "curve=1e300 -1e300 -199.5 " + List(177, "1"),
                                    "spread=-5 1e300 199.5 " + List(177, "1")));
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.target.curve[0], 200.0);
  EXPECT_EQ(read.target.curve[1], -200.0);
  EXPECT_EQ(read.target.curve[2], -199.5);
  EXPECT_EQ(read.target.spread[0], 0.0);
  EXPECT_EQ(read.target.spread[1], 200.0);
  EXPECT_EQ(read.target.spread[2], 199.5);
}

TEST(ParseLevels, ReadsPlainDecimalNumbersOnly) {
  GridCurve values{};
  EXPECT_TRUE(ParseLevels(" \t" + List(178, "-0.5") + "  .25\t7.", values));
  EXPECT_EQ(values[0], -0.5);
  EXPECT_EQ(values[178], 0.25);
  EXPECT_EQ(values[179], 7.0);
  EXPECT_TRUE(ParseLevels(List(180, "1E-3"), values));
  EXPECT_EQ(values[5], 0.001);
  for (const std::string& bad : {List(179, "1") + " x10", List(179, "1") + " -", List(179, "1") + " NaN",
                                 List(179, "1") + " e5", std::string("")}) {
    EXPECT_FALSE(ParseLevels(bad, values)) << bad.substr(bad.size() > 10 ? bad.size() - 10 : 0);
  }
}

// Files read and write the same under a locale whose decimal separator is a comma.
TEST(TargetText, IgnoresTheUserLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  const std::locale savedGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
  const bool commaLocale = std::string(buffer) == "1,5";

  const std::string text = WriteTargetText("Komma", "", Ramp(-1.5, 0.25), Ramp(0.125, 0.0));
  const ReadResult read = Read(text);
  const std::string levels = FormatLevels(Ramp(2.5, 0.0));

  std::locale::global(savedGlobal);
  std::setlocale(LC_ALL, saved.c_str());

  EXPECT_TRUE(commaLocale);
  EXPECT_NE(text.find("curve=-1.500 -1.250 -1.000"), std::string::npos);
  EXPECT_EQ(text.find(','), std::string::npos);
  EXPECT_EQ(levels.substr(0, 12), "2.500 2.500 ");
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.target.curve[1], -1.25);
  EXPECT_EQ(read.target.spread[179], 0.125);
}

TEST(TargetChoice, IsFormedAsEachKindRequires) {
  const TargetChoice fresh;
  EXPECT_EQ(fresh.kind, TargetKind::Balanced);
  EXPECT_EQ(fresh.name, "Balanced");
  EXPECT_EQ(static_cast<int>(TargetKind::Learned), 3);

  TargetCurve target;
  target.name = "Mine";
  target.source = "song.wav";
  target.curve.fill(1.0);
  target.spread.fill(2.0);
  const TargetChoice factory = FactoryChoice(target);
  EXPECT_EQ(factory.kind, TargetKind::Factory);
  EXPECT_EQ(factory.name, "Mine");
  EXPECT_EQ(factory.source, "");
  EXPECT_EQ(factory.spread, target.spread);
  const TargetChoice user = UserChoice(target);
  EXPECT_EQ(user.kind, TargetKind::User);
  EXPECT_EQ(user.source, "song.wav");
  EXPECT_EQ(user.curve, target.curve);
}

}  // namespace
}  // namespace ombrix
