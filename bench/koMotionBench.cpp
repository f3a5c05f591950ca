// The removal direction search of one touching pair over the 906015 direction samples that the
// contact diagram uses. BM_LowestSampleScan times, interleaved in one run, three passes over the
// samples: the memory floor (one read of the per-coordinate sample arrays), the vectorised scan
// for the lowest score, and the plain scalar loop over the same scores; its counters give their
// medians in milliseconds and the ratios to the floor. BM_ComputeRemovalDirection is the whole
// per-pair query (scan, great circle, six separation tests). BM_CenterSystems folds the pair's
// contact points into the moment sums; BM_CircleBasedCentroid finds the region centre around the
// peg's axis.

#include "koMotionDetect.h"
#include "motion/koDirectionScan.h"

#include <ko/koPointer.h>
#include <ko/koVertexBuffer.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using Vec3f = Wm4::Vector3<float>;

struct Workload {
  ko::koPointer<ko::koVertexBuffer> a, b;
  koMotionDetect motion;
};

// A peg of radius 1 in a blind hole, 2000 contact pairs a side with slightly noisy normals, as
// the contact point sampler would give them.
const Workload& workload() {
  static Workload w = [] {
    Workload w;
    w.motion.generateDirectionSamples(300);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), noise(-0.01f, 0.01f);
    ko::koAttributes attributes;
    attributes.SetPositionChannels(3);
    attributes.SetNormalChannels(3);
    attributes.SetTCoordChannels(0, 3);
    attributes.SetPSizeChannels(1);
    for (ko::koPointer<ko::koVertexBuffer>* side : {&w.a, &w.b}) {
      *side = new ko::koVertexBuffer(attributes, 4000);
      const float sign = side == &w.a ? 1.0f : -1.0f;
      for (int k = 0; k < 2000; ++k) {
        const float angle = 6.2831853f * unit(rng);
        const Vec3f radial(std::cos(angle), std::sin(angle), 0.0f);
        const bool bottom = k % 4 == 0;
        const Vec3f point = bottom ? std::sqrt(unit(rng)) * radial : radial + Vec3f(0, 0, 2 * unit(rng));
        Vec3f normal = (bottom ? Vec3f(0, 0, -1) : radial) + Vec3f(noise(rng), noise(rng), noise(rng));
        normal.Normalize();
        for (int v = 0; v < 2; ++v) {
          const int i = 2 * k + v;
          (*side)->Position3(i) = point;
          (*side)->Normal3(i) = (*side)->TCoord3(0, i) = (v == 0 ? sign : -sign) * normal;
          (*side)->PSize1(i) = 1.0f / 2000.0f;
        }
      }
    }
    w.motion.pushContactPoints(w.a.Get());
    w.motion.pushContactPoints(w.b.Get());
    w.motion.centerSystems();
    return w;
  }();
  return w;
}

typedef double tLanes __attribute__((vector_size(64)));

// One read of the three sample arrays, in the scan's vector width, with nothing computed.
#if defined(__x86_64__)
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif
double readSamples(const double* xs, const double* ys, const double* zs, size_t noBlocks) {
  tLanes sum = {};
  for (size_t b = 0; b < noBlocks; ++b) {
    tLanes x, y, z;
    std::memcpy(&x, xs + 8 * b, sizeof(x));
    std::memcpy(&y, ys + 8 * b, sizeof(y));
    std::memcpy(&z, zs + 8 * b, sizeof(z));
    sum += x + y + z;
  }
  double total = 0.0;
  for (int lane = 0; lane < 8; ++lane)
    total += sum[lane];
  return total;
}

unsigned int scalarScan(const koUnmountPolynomial& score,
                        const std::vector<Wm4::Vector3<double>>& samples) {
  double best = std::numeric_limits<double>::infinity();
  unsigned int index = 0;
  for (unsigned int i = 0; i < samples.size(); ++i) {
    const double s = evaluateUnmountPolynomial(score, samples[i]);
    if (s < best) {
      best = s;
      index = i;
    }
  }
  return index;
}

template <typename F>
double milliseconds(F f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

void BM_LowestSampleScan(benchmark::State& state) {
  const Workload& w = workload();
  const koUnmountPolynomial score = expandUnmountPolynomial(w.motion);
  const koDirectionScan::tView view = koDirectionScan::samples(w.motion);
  std::vector<double> floorMs, scanMs, scalarMs;
  for (auto _ : state) {
    floorMs.push_back(milliseconds(
        [&] { benchmark::DoNotOptimize(readSamples(view.x, view.y, view.z, view.noBlocks)); }));
    unsigned int vectorised = 0, scalar = 0;
    scanMs.push_back(
        milliseconds([&] { vectorised = koDirectionScan::lowestScoringSample(score, view); }));
    scalarMs.push_back(milliseconds([&] { scalar = scalarScan(score, w.motion.directionSamples); }));
    if (vectorised != scalar)
      state.SkipWithError("the vectorised scan chose another sample");
    state.SetIterationTime(scanMs.back() / 1000.0);
  }
  const double floor = median(floorMs), scan = median(scanMs), scalar = median(scalarMs);
  state.counters["floor_ms"] = floor;
  state.counters["scan_ms"] = scan;
  state.counters["scalar_ms"] = scalar;
  state.counters["scan_over_floor"] = scan / floor;
  state.counters["scalar_over_floor"] = scalar / floor;
}
BENCHMARK(BM_LowestSampleScan)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ComputeRemovalDirection(benchmark::State& state) {
  koMotionDetect& motion = const_cast<Workload&>(workload()).motion;
  Wm4::Vector3<double> directions[3];
  bool twoWay[3];
  for (auto _ : state)
    benchmark::DoNotOptimize(motion.computeRemovalDirection(directions, twoWay));
}
BENCHMARK(BM_ComputeRemovalDirection)->Unit(benchmark::kMillisecond);

void BM_CenterSystems(benchmark::State& state) {
  const Workload& w = workload();
  koMotionDetect motion;
  for (auto _ : state) {
    motion.clearSystems();
    motion.pushContactPoints(w.a.Get());
    motion.pushContactPoints(w.b.Get());
    motion.centerSystems();
    benchmark::DoNotOptimize(motion.radius);
  }
}
BENCHMARK(BM_CenterSystems)->Unit(benchmark::kMicrosecond);

void BM_CircleBasedCentroid(benchmark::State& state) {
  const Workload& w = workload();
  float quality = 0.0f;
  for (auto _ : state)
    benchmark::DoNotOptimize(koMotionDetect::ComputeCircleBasedCentroid(
        Vec3f(0.0f, 0.0f, 1.0f), {w.a.Get(), w.b.Get()}, quality));
}
BENCHMARK(BM_CircleBasedCentroid)->Unit(benchmark::kMicrosecond);

} // namespace
