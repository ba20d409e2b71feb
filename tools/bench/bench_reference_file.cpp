// Cost of learning from a reference file: fifteen minutes of stereo
// programme at 44.1 kHz as WAV (16-bit), FLAC (16-bit) and MP3 (320 kbit/s).
//
// Floor: what libsndfile alone needs to decode the file to float in 4096-frame
// chunks, plus the two bare FFTW single-precision 8192-point real transforms
// (r2c, a timed FFTW_MEASURE plan) per 2048 frames that the analysis cannot
// avoid. Goal: AnalyseReferenceFile on the WAV file takes at most 1.5 times
// that floor. CPU time is compared, so a busy machine does not skew it.
//
// Prints google-benchmark's table, then per format the decode time, the
// analysis time, the floor, the ratio and the multiple of real time; exits
// with 1 when the WAV goal is missed. Writing the files takes a while (the
// MP3 encoder runs at about 40 times real time); they go to the system's
// temporary folder and are removed at the end.
#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

#include "dsp/reference_file.h"
#include "dsp/sound_file_open.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kSeconds = 15.0 * 60.0;
constexpr std::int64_t kFrames = static_cast<std::int64_t>(kSeconds) * kRate;
constexpr int kHop = 2048;
constexpr double kGoal = 1.5;

struct Format {
  const char* label;
  const char* fileName;
  int sndfileFormat;
};

const Format kFormats[] = {
    {"wav", "programme.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    {"flac", "programme.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {"mp3", "programme.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
};

// Music-like programme: pink-ish noise (Paul Kellett's economy filter) with a
// slow swell, plus two tones; left and right differ.
class ProgrammeGenerator {
 public:
  void Fill(float* interleaved, std::int64_t frames) {
    for (std::int64_t n = 0; n < frames; ++n, ++t_) {
      const double time = static_cast<double>(t_) / kRate;
      const double swell = 0.8 + 0.3 * std::sin(2.0 * std::numbers::pi * 0.1 * time);
      for (int c = 0; c < kChannels; ++c) {
        Pink& p = pink_[c];
        const double white = NextWhite();
        p.b0 = 0.99765 * p.b0 + white * 0.0990460;
        p.b1 = 0.96300 * p.b1 + white * 0.2965164;
        p.b2 = 0.57000 * p.b2 + white * 1.0526913;
        const double noise = 0.05 * (p.b0 + p.b1 + p.b2 + white * 0.1848);
        const double tone = 0.05 * std::sin(2.0 * std::numbers::pi * (c == 0 ? 110.0 : 165.0) * time) +
                            0.02 * std::sin(2.0 * std::numbers::pi * (c == 0 ? 2200.0 : 3300.0) * time);
        interleaved[n * kChannels + c] = static_cast<float>(swell * noise + tone);
      }
    }
  }

 private:
  struct Pink {
    double b0 = 0, b1 = 0, b2 = 0;
  };
  double NextWhite() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
  }
  std::uint64_t state_ = 12345;
  std::int64_t t_ = 0;
  Pink pink_[kChannels];
};

bool WriteProgramme(const std::filesystem::path& path, int sndfileFormat) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = kChannels;
  info.format = sndfileFormat;
  SNDFILE* file = ombrix::dsp::OpenSoundFile(path, SFM_WRITE, info);
  if (file == nullptr) return false;
  if ((sndfileFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
    int mode = SF_BITRATE_MODE_CONSTANT;
    double highestQuality = 0.0;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &highestQuality, sizeof highestQuality);
  }
  ProgrammeGenerator generator;
  std::vector<float> chunk(static_cast<std::size_t>(kRate) * kChannels);
  bool ok = true;
  for (std::int64_t done = 0; done < kFrames && ok; done += kRate) {
    const std::int64_t frames = std::min<std::int64_t>(kRate, kFrames - done);
    generator.Fill(chunk.data(), frames);
    ok = sf_writef_float(file, chunk.data(), frames) == frames;
  }
  return sf_close(file) == 0 && ok;
}

std::filesystem::path g_folder;

std::filesystem::path PathOf(const Format& format) { return g_folder / format.fileName; }

// libsndfile alone: the whole file to float, 4096 frames at a time.
void BM_DecodeOnly(benchmark::State& state, const Format* format) {
  std::vector<float> buffer(4096 * kChannels);
  for (auto _ : state) {
    SF_INFO info{};
    SNDFILE* file = ombrix::dsp::OpenSoundFile(PathOf(*format), SFM_READ, info);
    if (file == nullptr) {
      state.SkipWithError("cannot open the file");
      return;
    }
    std::int64_t total = 0;
    double sink = 0.0;
    sf_count_t got = 0;
    while ((got = sf_readf_float(file, buffer.data(), 4096)) > 0) {
      total += got;
      sink += buffer[0];
    }
    sf_close(file);
    benchmark::DoNotOptimize(sink);
    state.counters["frames"] = static_cast<double>(total);
  }
}

void BM_AnalyseReferenceFile(benchmark::State& state, const Format* format) {
  const std::atomic<bool> cancel{false};
  for (auto _ : state) {
    ombrix::dsp::LearnedCurve curve;
    std::string error;
    if (!ombrix::dsp::AnalyseReferenceFile(PathOf(*format), curve, error, ombrix::dsp::kReferenceFileMaxSeconds,
                                           cancel)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(curve.levels[90]);
    state.counters["loud_s"] = curve.loudSeconds;
  }
}

// Two bare r2c transforms: the FFT work of one 2048-frame hop of a stereo stream.
void BM_FloorTwoR2cTransformsPerHop(benchmark::State& state) {
  float* in[2] = {fftwf_alloc_real(8192), fftwf_alloc_real(8192)};
  fftwf_complex* out = fftwf_alloc_complex(4097);
  fftwf_plan plan = fftwf_plan_dft_r2c_1d(8192, in[0], out, FFTW_MEASURE);
  ProgrammeGenerator generator;
  std::vector<float> signal(8192 * kChannels);
  generator.Fill(signal.data(), 8192);
  for (int c = 0; c < kChannels; ++c) {
    for (int n = 0; n < 8192; ++n) in[c][n] = signal[static_cast<std::size_t>(n * kChannels + c)];
  }
  for (auto _ : state) {
    fftwf_execute_dft_r2c(plan, in[0], out);
    benchmark::DoNotOptimize(out[100][0]);
    fftwf_execute_dft_r2c(plan, in[1], out);
    benchmark::DoNotOptimize(out[100][0]);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(plan);
  fftwf_free(in[0]);
  fftwf_free(in[1]);
  fftwf_free(out);
}

// Keeps the fastest repetition of every benchmark (CPU and real seconds per iteration).
class CapturingReporter : public benchmark::ConsoleReporter {
 public:
  struct Times {
    double cpu = std::numeric_limits<double>::infinity();
    double real = std::numeric_limits<double>::infinity();
  };
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      Times& t = times[run.run_name.function_name];
      const double iterations = static_cast<double>(run.iterations);
      t.cpu = std::min(t.cpu, run.cpu_accumulated_time / iterations);
      t.real = std::min(t.real, run.real_accumulated_time / iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, Times> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  g_folder = std::filesystem::temp_directory_path() / ("ombrix-bench-reference-" + std::to_string(::getpid()));
  std::filesystem::create_directories(g_folder);
  for (const Format& format : kFormats) {
    std::fprintf(stderr, "writing %s (15 min, stereo, 44.1 kHz)...\n", format.fileName);
    if (!WriteProgramme(PathOf(format), format.sndfileFormat)) {
      std::fprintf(stderr, "could not write %s\n", PathOf(format).string().c_str());
      std::filesystem::remove_all(g_folder);
      return 1;
    }
  }

  benchmark::RegisterBenchmark("BM_FloorTwoR2cTransformsPerHop", BM_FloorTwoR2cTransformsPerHop)
      ->Unit(benchmark::kMicrosecond)
      ->Repetitions(3);
  for (const Format& format : kFormats) {
    benchmark::RegisterBenchmark((std::string("BM_DecodeOnly/") + format.label).c_str(), BM_DecodeOnly, &format)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3);
    benchmark::RegisterBenchmark((std::string("BM_AnalyseReferenceFile/") + format.label).c_str(),
                                 BM_AnalyseReferenceFile, &format)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3);
  }

  CapturingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);

  const auto& t = reporter.times;
  const auto floorIt = t.find("BM_FloorTwoR2cTransformsPerHop");
  if (floorIt == t.end()) return 0;  // filtered out: nothing to compare
  const double fftFloor = floorIt->second.cpu * static_cast<double>(kFrames) / kHop;

  std::printf("\nfifteen minutes of stereo at 44.1 kHz; CPU seconds, fastest of the repetitions\n");
  std::printf("FFT floor (two r2c 8192 per 2048 frames): %.3f s\n", fftFloor);
  std::printf("%-5s %9s %9s %9s %7s %12s\n", "file", "decode", "analyse", "floor", "ratio", "x real time");
  bool goalMet = true;
  for (const Format& format : kFormats) {
    const auto decode = t.find(std::string("BM_DecodeOnly/") + format.label);
    const auto analyse = t.find(std::string("BM_AnalyseReferenceFile/") + format.label);
    if (decode == t.end() || analyse == t.end()) continue;
    const double floorSeconds = decode->second.cpu + fftFloor;
    const double ratio = analyse->second.cpu / floorSeconds;
    std::printf("%-5s %8.3fs %8.3fs %8.3fs %7.2f %12.0f\n", format.label, decode->second.cpu, analyse->second.cpu,
                floorSeconds, ratio, kSeconds / analyse->second.real);
    if (std::string(format.label) == "wav" && ratio > kGoal) goalMet = false;
  }
  std::printf("goal: WAV analysis at most %.1f x (decode + FFT floor): %s\n", kGoal, goalMet ? "met" : "MISSED");
  return goalMet ? 0 : 1;
}
