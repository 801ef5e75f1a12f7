#include "controls/sample_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace km8 {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Column summaries computed the slow way: every held sample, one by one.
std::vector<ColumnSummary> Reference(const SampleRing& ring, int channel, std::int64_t t0,
                                     std::int64_t t1, std::size_t columns) {
  std::vector<ColumnSummary> out(columns);
  std::vector<std::vector<float>> perColumn(columns);
  if (t1 > t0) {
    for (std::int64_t seq = ring.firstSeq(); seq < ring.endSeq(); ++seq) {
      const std::int64_t t = ring.time(seq);
      if (t < t0 || t > t1) continue;
      const auto c =
          std::min<std::int64_t>(static_cast<std::int64_t>(columns) - 1,
                                 (t - t0) * static_cast<std::int64_t>(columns) / (t1 - t0));
      perColumn[static_cast<std::size_t>(c)].push_back(ring.value(channel, seq));
    }
  }
  for (std::size_t c = 0; c < columns; ++c) {
    const auto& vs = perColumn[c];
    ColumnSummary& s = out[c];
    s.hasSamples = !vs.empty();
    bool seen = false;
    for (float v : vs) {
      if (std::isnan(v)) continue;
      if (!seen) {
        s.first = s.min = s.max = v;
        seen = true;
      }
      s.min = std::min(s.min, v);
      s.max = std::max(s.max, v);
      s.last = v;
    }
    s.hasValue = seen;
    if (seen) {
      s.gapBefore = std::isnan(vs.front());
      s.gapAfter = std::isnan(vs.back());
    }
  }
  return out;
}

void ExpectSameColumns(const std::vector<ColumnSummary>& got,
                       const std::vector<ColumnSummary>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t c = 0; c < got.size(); ++c) {
    ASSERT_EQ(got[c], want[c]) << what << " column " << c << " hasSamples " << got[c].hasSamples
                               << "/" << want[c].hasSamples << " min " << got[c].min << "/"
                               << want[c].min << " max " << got[c].max << "/" << want[c].max;
  }
}

TEST(SampleRing, DecimationMatchesBruteForceOnRandomDataWithGaps) {
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    const std::size_t capacity = 500 + rng() % 3000;
    SampleRing ring(3, capacity);
    std::int64_t t = 1'000'000;
    const int appends = 2000 + static_cast<int>(rng() % 8000);
    int gapRun = 0;
    for (int i = 0; i < appends; ++i) {
      t += rng() % 4;  // equal times happen too
      const std::int64_t seq = ring.append(t);
      if (gapRun == 0 && rng() % 200 == 0) gapRun = static_cast<int>(rng() % 700);  // long gaps
      for (int ch = 0; ch < 3; ++ch) {
        const bool gap = gapRun > 0 || rng() % 5 == 0;
        if (!gap) {
          ring.setValue(ch, seq, std::uniform_real_distribution<float>(-300.f, 1300.f)(rng));
        }
      }
      if (gapRun > 0) --gapRun;
      // Now and then an older sample is rewritten or cleared.
      if (rng() % 50 == 0 && ring.size() > 10) {
        const std::int64_t old = ring.endSeq() - 1 - static_cast<std::int64_t>(rng() % ring.size());
        ring.setValue(static_cast<int>(rng() % 3), old, rng() % 3 == 0 ? kNaN : -1000.f);
      }
    }
    const std::int64_t oldest = ring.time(ring.firstSeq());
    const std::int64_t newest = ring.time(ring.endSeq() - 1);
    for (int trial = 0; trial < 25; ++trial) {
      std::int64_t t0 = oldest - 50 + static_cast<std::int64_t>(rng() % (newest - oldest + 100));
      std::int64_t t1 = oldest - 50 + static_cast<std::int64_t>(rng() % (newest - oldest + 100));
      if (t0 > t1) std::swap(t0, t1);
      if (trial == 0) {
        t0 = oldest;
        t1 = newest;
      }
      const std::size_t columns = trial % 5 == 0 ? 1 : 1 + rng() % 600;
      for (int ch = 0; ch < 3; ++ch) {
        std::vector<ColumnSummary> got(columns);
        ring.decimate(ch, t0, t1, got);
        ExpectSameColumns(got, Reference(ring, ch, t0, t1, columns),
                          "seed " + std::to_string(seed) + " trial " + std::to_string(trial));
      }
    }
  }
}

TEST(SampleRing, WrapAroundDropsTheOldestAndForgetsTheirValues) {
  SampleRing ring(2, 1000);
  // The first 1500 samples carry huge values that must vanish with them.
  for (int i = 0; i < 2500; ++i) {
    const std::int64_t seq = ring.append(i * 1000);
    ASSERT_EQ(seq, i);
    ring.setValue(0, seq, i < 1500 ? 1e6f : static_cast<float>(i % 100));
  }
  EXPECT_EQ(ring.size(), 1000u);
  EXPECT_EQ(ring.firstSeq(), 1500);
  EXPECT_EQ(ring.endSeq(), 2500);
  EXPECT_FALSE(ring.contains(1499));
  EXPECT_FALSE(ring.setValue(0, 1499, 5.0f));
  EXPECT_TRUE(std::isnan(ring.value(0, 1499)));
  EXPECT_EQ(ring.value(0, 2499), 99.0f);

  std::vector<ColumnSummary> one(1);
  ring.decimate(0, 0, 2'500'000, one);
  ASSERT_TRUE(one[0].hasValue);
  EXPECT_EQ(one[0].min, 0.0f);
  EXPECT_EQ(one[0].max, 99.0f);
  EXPECT_EQ(one[0].first, 0.0f);  // sample 1500
  EXPECT_EQ(one[0].last, 99.0f);
  std::vector<ColumnSummary> cols(37);
  ring.decimate(0, 0, 2'500'000, cols);
  ExpectSameColumns(cols, Reference(ring, 0, 0, 2'500'000, 37), "after wrap");

  // Many more rounds through the ring keep it consistent.
  for (int i = 2500; i < 9000; ++i) ring.setValue(1, ring.append(i * 1000), static_cast<float>(i));
  ring.decimate(1, 0, 9'000'000, cols);
  ExpectSameColumns(cols, Reference(ring, 1, 0, 9'000'000, 37), "many rounds");
  ring.decimate(0, 0, 9'000'000, cols);
  for (const auto& c : cols) EXPECT_FALSE(c.hasValue);  // channel 0 got nothing lately
}

TEST(SampleRing, GapsAndRewritesShowInTheSummary) {
  SampleRing ring(1, 100);
  for (int i = 0; i < 32; ++i) ring.append(i);
  for (int i = 0; i < 32; ++i) {
    if (i != 20) ring.setValue(0, i, static_cast<float>(i));
  }
  std::vector<ColumnSummary> two(2);
  ring.decimate(0, 0, 31, two);  // columns [0, 15.5) and [15.5, 31]
  EXPECT_EQ(two[0].max, 15.0f);
  EXPECT_FALSE(two[0].gapBefore || two[0].gapAfter);
  EXPECT_EQ(two[1].min, 16.0f);

  // Lowering the maximum must shrink the cached block summaries, not only widen them.
  ring.setValue(0, 31, 1.0f);
  ring.setValue(0, 30, kNaN);
  ring.setValue(0, 0, std::numeric_limits<float>::infinity());  // no value either
  std::vector<ColumnSummary> one(1);
  ring.decimate(0, 0, 31, one);
  EXPECT_EQ(one[0].max, 29.0f);
  EXPECT_EQ(one[0].min, 1.0f);
  EXPECT_EQ(one[0].first, 1.0f);
  EXPECT_TRUE(one[0].gapBefore);
  EXPECT_FALSE(one[0].gapAfter);
  EXPECT_EQ(one[0].last, 1.0f);

  // A column holding only samples without values has samples but no value.
  ring.decimate(0, 20, 20, one);
  EXPECT_FALSE(one[0].hasSamples);  // an empty window
  std::vector<ColumnSummary> cols(32);
  ring.decimate(0, 0, 32, cols);
  EXPECT_TRUE(cols[20].hasSamples);
  EXPECT_FALSE(cols[20].hasValue);
  EXPECT_TRUE(cols[30].hasSamples);
  EXPECT_FALSE(cols[30].hasValue);
}

TEST(SampleRing, TimesNeverGoBackwardsAndCapacityChangesKeepTheNewest) {
  SampleRing ring(2, 10);
  ring.append(5000);
  ring.append(4000);  // the clock was set back
  EXPECT_EQ(ring.time(1), 5000);
  for (int i = 2; i < 30; ++i) ring.setValue(1, ring.append(5000 + i), static_cast<float>(i));

  ring.setCapacity(4);
  EXPECT_EQ(ring.capacity(), 4u);
  EXPECT_EQ(ring.firstSeq(), 26);
  EXPECT_EQ(ring.endSeq(), 30);
  EXPECT_EQ(ring.value(1, 29), 29.0f);
  EXPECT_EQ(ring.time(26), 5026);
  EXPECT_EQ(ring.append(6000), 30);  // numbering goes on
  EXPECT_EQ(ring.size(), 4u);

  ring.setCapacity(100);
  EXPECT_EQ(ring.firstSeq(), 27);
  EXPECT_EQ(ring.value(1, 28), 28.0f);

  ring.clear();
  EXPECT_TRUE(ring.empty());
  EXPECT_EQ(ring.append(1), 31);
  std::vector<ColumnSummary> one(1);
  ring.decimate(1, 0, 10000, one);
  EXPECT_TRUE(one[0].hasSamples);
  EXPECT_FALSE(one[0].hasValue);
}

}  // namespace
}  // namespace km8
