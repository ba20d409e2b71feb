#pragma once
// Learning a target curve from analysed audio. The accumulator collects the
// band powers of every non-silent analysis frame into segments of just over
// a second; finishing keeps the loud segments (those above the absolute gate
// of -70 LUFS and within 20 dB of the 90th-percentile level of the segments
// above it), averages them into a curve normalised to 0 dB mean power over
// 40 Hz..16 kHz, and takes the spread of 10-second chunks around that curve.
// Where the material's top end was cut (by an encoder or a resampler), the
// curve holds the level at which the programme ends instead of following the
// filter's slope.
//
// Not thread-safe: one owner thread (the editor's, or a reference-file
// analysis thread). AddFrame allocates when a segment closes (once a second).
#include <optional>
#include <string>
#include <vector>

#include "core/frequency_grid.h"
#include "dsp/band_analyser.h"

namespace ombrix::dsp {

// Learning from the plug-in's input needs this much loud material.
inline constexpr double kLearnFromInputMinimumSeconds = 15.0;

// A segment closes once it holds this much audio.
inline constexpr double kLearnSegmentSeconds = 1.0;
// An unfinished segment counts at Finish when it holds at least this much.
inline constexpr double kLearnPartialSegmentSeconds = 0.5;
// Loud segments are grouped into chunks this long for the spread...
inline constexpr double kLearnChunkSeconds = 10.0;
// ...and a last, shorter chunk counts when it holds at least this much.
inline constexpr double kLearnLastChunkSeconds = 5.0;
// Segments more than this far below the 90th-percentile level are not loud.
inline constexpr double kLearnGateBelowPercentileDb = 20.0;
// Segments at or below this loudness are never loud, however quiet the rest
// is (the absolute gate of ITU-R BS.1770): dither and noise floors teach nothing.
inline constexpr double kLearnAbsoluteGateLufs = -70.0;
// A point carries the programme while its level lies within this much of the
// mean level over 1..4 kHz (see PowersToCurve).
inline constexpr double kProgrammeRangeDb = 30.0;

struct LearnSegment {
  GridCurve powers{};    // band powers summed over the segment's frames
  double energy = 0.0;   // while filling: sum of meanSquare * hop; once closed: the mean square
  double duration = 0.0; // seconds
  // Like energy, but K-weighted, from the frames' band powers
  // (SpectrumAnalysis::KWeightedMeanSquare); gives the segment's loudness.
  double weightedEnergy = 0.0;
};

// The loudness of a closed segment in LUFS. BS.1770 sums the channels, and the
// K-weighted mean square is their mean, so the loudness is that of two
// channels: a stereo programme reads as the loudness meter reads it, a mono
// file (analysed as two equal channels) 3 dB above a one-channel reading.
double SegmentLoudness(const LearnSegment& segment);

struct LearnedCurve {
  GridCurve levels{};  // dB, mean power 0 dB over the analysis range
  GridCurve spread{};  // dB, root-mean-square deviation of the 10 s chunks
  double loudSeconds = 0.0;
};

// Summed band powers to a curve in dB: points without power take the level
// of the nearest analysed point below them (or, before the first one, of the
// first one); points above the last one that carries the programme take its
// level (HighestProgrammePoint); then the whole curve is shifted to a mean
// power of 0 dB over 40 Hz..16 kHz. Empty when no point has a positive,
// finite power.
std::optional<GridCurve> PowersToCurve(const GridCurve& summedPowers);

// The highest point that still carries the programme, for levels in dB of
// which only the points flagged in hasPower were measured; see the rule in
// learn_accumulator.cpp. The last point with power when the rule cannot be
// applied (no measured point between 1 and 4 kHz).
std::size_t HighestProgrammePoint(const GridCurve& levels, const ValidFlags& hasPower);

class LearnAccumulator {
 public:
  // No segments, an empty current segment, total seconds 0.
  void Clear();

  // One analysis frame. Frames with any non-finite value are ignored.
  void AddFrame(const GridCurve& bandPowers, double meanSquare, double hopSeconds);

  // A frame observer that feeds this accumulator, which must outlive the
  // analyser it is installed on (or be removed from it first).
  FrameObserver Observer();

  // The learned curve from the material so far, or false and a lower-case
  // reason. Leaves the accumulator unchanged, so learning can go on.
  bool Finish(double minSeconds, LearnedCurve& curve, std::string& error) const;

  // Seconds of non-silent audio added since the last Clear.
  double TotalSeconds() const { return totalSeconds_; }
  const std::vector<LearnSegment>& Segments() const { return segments_; }
  const LearnSegment& Current() const { return current_; }

 private:
  std::vector<LearnSegment> segments_;
  LearnSegment current_;
  double totalSeconds_ = 0.0;
};

}  // namespace ombrix::dsp
