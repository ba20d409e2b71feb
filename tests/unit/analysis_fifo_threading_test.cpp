// The analysis FIFO between a producer and a consumer thread (also run under
// ThreadSanitizer): every frame arrives in order, frames are lost only while
// the ring is full, and the frames that are lost are the newest of a block.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "dsp/analysis_fifo.h"

namespace ombrix::dsp {
namespace {

constexpr std::uint64_t kCapacity = AnalysisFifo::kCapacity;

struct PushRecord {
  std::uint32_t start;   // sequence number of the block's first frame
  std::uint32_t stored;  // frames the push took
};

// Small deterministic generator for block and chunk sizes.
struct Lcg {
  std::uint64_t state;
  std::uint32_t Below(std::uint32_t bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>((state >> 33) % bound);
  }
};

TEST(AnalysisFifoThreading, FramesArriveInOrderAndAreDroppedOnlyWhenFull) {
  constexpr std::uint32_t kTotal = 1u << 21;  // frames offered by the producer
  AnalysisFifo fifo;
  std::atomic<std::uint64_t> offered{0};   // producer: frames offered so far
  std::atomic<std::uint64_t> consumed{0};  // consumer: frames read so far (published after each Read)
  std::atomic<bool> producerDone{false};
  // Where starting a thread is slow (Windows, wine), the producer could
  // otherwise offer everything before the consumer runs at all.
  std::atomic<bool> consumerStarted{false};
  std::vector<PushRecord> pushes;
  pushes.reserve(kTotal);
  std::vector<std::uint32_t> received;
  received.reserve(kTotal);
  int tooFewStored = 0;
  int badFrames = 0;

  std::thread producer([&] {
    Lcg random{1};
    std::vector<double> dl(4096), dr(4096);
    std::vector<float> fl(4096), fr(4096);
    std::uint32_t sequence = 0;
    while (!consumerStarted.load(std::memory_order_acquire)) std::this_thread::yield();
    while (sequence < kTotal) {
      const std::uint32_t length = std::min<std::uint32_t>(1 + random.Below(1500), kTotal - sequence);
      const std::uint64_t written = fifo.FramesWritten();
      const std::uint64_t readAtLeast = consumed.load(std::memory_order_acquire);
      int stored = 0;
      if (random.Below(2) == 0) {
        for (std::uint32_t n = 0; n < length; ++n) {
          dl[n] = sequence + n;
          dr[n] = -static_cast<double>(sequence + n);
        }
        const double* channels[2] = {dl.data(), dr.data()};
        stored = fifo.Push(channels, 2, static_cast<int>(length));
      } else {
        for (std::uint32_t n = 0; n < length; ++n) {
          fl[n] = static_cast<float>(sequence + n);
          fr[n] = -static_cast<float>(sequence + n);
        }
        const float* channels[2] = {fl.data(), fr.data()};
        stored = fifo.Push(channels, 2, static_cast<int>(length));
      }
      // The consumer had read at least readAtLeast frames before this push,
      // so at least this much room was free: fewer stored frames would mean
      // frames dropped while the ring was not full.
      const std::uint64_t unreadAtMost = written - readAtLeast;
      const std::uint64_t freeAtLeast = unreadAtMost >= kCapacity ? 0 : kCapacity - unreadAtMost;
      if (static_cast<std::uint64_t>(stored) < std::min<std::uint64_t>(length, freeAtLeast)) ++tooFewStored;
      pushes.push_back({sequence, static_cast<std::uint32_t>(stored)});
      sequence += length;
      offered.store(sequence, std::memory_order_release);
      // Like an audio thread, come back a little later when the ring was full.
      if (static_cast<std::uint32_t>(stored) < length) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        // Where so short a sleep does not sleep at all (Windows), wait for
        // the consumer's next read once it reads, 2 ms at most.
        if (sequence + length >= 3 * kCapacity) {
          const std::uint64_t seen = consumed.load(std::memory_order_acquire);
          const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
          while (consumed.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::yield();
          }
        }
      }
    }
    producerDone.store(true, std::memory_order_release);
  });

  std::thread consumer([&] {
    Lcg random{2};
    std::vector<float> left(4096), right(4096);
    consumerStarted.store(true, std::memory_order_release);
    // Let the ring overflow first, then read in bursts with short pauses.
    while (offered.load(std::memory_order_acquire) < 3 * kCapacity && !producerDone.load(std::memory_order_acquire)) {
      std::this_thread::yield();
    }
    for (;;) {
      const bool done = producerDone.load(std::memory_order_acquire);
      const int got = fifo.Read(left.data(), right.data(), 1 + static_cast<int>(random.Below(4096)));
      for (int n = 0; n < got; ++n) {
        const float l = left[static_cast<std::size_t>(n)];
        if (right[static_cast<std::size_t>(n)] != -l) ++badFrames;
        received.push_back(static_cast<std::uint32_t>(l));
      }
      consumed.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_release);
      if (got == 0 && done) break;
      if (random.Below(64) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  producer.join();
  consumer.join();

  EXPECT_EQ(badFrames, 0);
  EXPECT_EQ(tooFewStored, 0);
  // What arrived is exactly the stored head of every block, in order.
  std::vector<std::uint32_t> expected;
  expected.reserve(kTotal);
  std::size_t partial = 0;
  for (const PushRecord& push : pushes) {
    for (std::uint32_t n = 0; n < push.stored; ++n) expected.push_back(push.start + n);
  }
  for (std::size_t i = 1; i < pushes.size(); ++i) {
    if (pushes[i - 1].stored < pushes[i].start - pushes[i - 1].start) ++partial;
  }
  ASSERT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);
  EXPECT_GT(partial, 0u) << "the ring never overflowed";
  EXPECT_GT(received.size(), kCapacity);
  EXPECT_EQ(fifo.FramesRead(), fifo.FramesWritten());
}

TEST(AnalysisFifoThreading, DiscardWhileTheProducerWritesKeepsFramesWholeAndInOrder) {
  constexpr std::uint32_t kTotal = 1u << 19;
  AnalysisFifo fifo;
  std::atomic<bool> producerDone{false};
  int badFrames = 0, outOfOrder = 0;
  std::uint64_t readFrames = 0;

  std::thread producer([&] {
    std::vector<double> l(512), r(512);
    for (std::uint32_t sequence = 0; sequence < kTotal; sequence += 512) {
      for (std::uint32_t n = 0; n < 512; ++n) {
        l[n] = sequence + n;
        r[n] = -static_cast<double>(sequence + n);
      }
      const double* channels[2] = {l.data(), r.data()};
      fifo.Push(channels, 2, 512);
      if (sequence % 8192 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    producerDone.store(true, std::memory_order_release);
  });

  std::thread consumer([&] {
    std::vector<float> l(1024), r(1024);
    float last = -1.0f;
    int round = 0;
    for (;;) {
      const bool done = producerDone.load(std::memory_order_acquire);
      if (++round % 3 == 0) fifo.Discard();
      const int got = fifo.Read(l.data(), r.data(), 1024);
      for (int n = 0; n < got; ++n) {
        if (r[static_cast<std::size_t>(n)] != -l[static_cast<std::size_t>(n)]) ++badFrames;
        if (l[static_cast<std::size_t>(n)] <= last) ++outOfOrder;
        last = l[static_cast<std::size_t>(n)];
      }
      readFrames += static_cast<std::uint64_t>(got);
      if (got == 0 && done) break;
    }
  });

  producer.join();
  consumer.join();
  EXPECT_EQ(badFrames, 0);
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_LE(readFrames, kTotal);
  EXPECT_EQ(fifo.AvailableFrames(), 0u);
}

}  // namespace
}  // namespace ombrix::dsp
