// The effects over a 4000 x 3000 selection (goal: each within 30 ms).
//   effects_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/effects/effects.h"

namespace murkel {
namespace {

constexpr int kWidth = 4000, kHeight = 3000;

// A picture two pixels larger than the selection each way, so that blur and
// partial cells read real neighbours; `flush` selects the whole picture instead.
const Image& picture(bool flush) {
  static const Image images[2] = {
      [] {
        Image image{kWidth + 2, kHeight + 2, {}};
        std::mt19937 rng(1);
        image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
        for (auto& p : image.pixels) p = rng() & 0x00FFFFFFu;
        return image;
      }(),
      [] {
        Image image{kWidth, kHeight, {}};
        std::mt19937 rng(2);
        image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
        for (auto& p : image.pixels) p = rng() & 0x00FFFFFFu;
        return image;
      }()};
  return images[flush ? 1 : 0];
}

Rect selection(bool flush) { return flush ? Rect{0, 0, kWidth, kHeight} : Rect{1, 1, kWidth + 1, kHeight + 1}; }

void finish(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * std::int64_t{kWidth} * kHeight);
}

// The second argument of each benchmark: 0 returns a new block (the vector
// API, page faults of a fresh 48 MB included), 1 writes into a reused buffer.
struct Output {
  explicit Output(benchmark::State& state) : into(state.range(1) != 0) {
    if (into) buffer.assign(std::size_t{kWidth} * kHeight, 0);
  }
  BlockRef ref() { return BlockRef{buffer.data(), kWidth}; }
  bool into;
  std::vector<Colour> buffer;
};

void BM_Mosaic(benchmark::State& state) {
  const auto cell = static_cast<std::int32_t>(state.range(0));
  const Image& image = picture(false);
  Output out(state);
  for (auto _ : state) {
    if (out.into) {
      mosaic_into(image.view(), selection(false), cell, cell, out.ref());
      benchmark::ClobberMemory();
    } else {
      benchmark::DoNotOptimize(mosaic(image.view(), selection(false), cell, cell));
    }
  }
  finish(state);
}
BENCHMARK(BM_Mosaic)
    ->ArgsProduct({{1, 2, 3, 10, 64, 999}, {0, 1}})
    ->ArgNames({"cell", "into"})
    ->Unit(benchmark::kMillisecond);

// Third argument: 1 selects the whole 4000 x 3000 picture (the extra column and row are white).
void BM_Blur(benchmark::State& state) {
  const auto level = static_cast<std::uint16_t>(state.range(0));
  const bool flush = state.range(2) != 0;
  const Image& image = picture(flush);
  Output out(state);
  for (auto _ : state) {
    if (out.into) {
      blur_into(image.view(), selection(flush), level, out.ref());
      benchmark::ClobberMemory();
    } else {
      benchmark::DoNotOptimize(blur(image.view(), selection(flush), level));
    }
  }
  finish(state);
}
BENCHMARK(BM_Blur)
    ->ArgsProduct({{0, 1, 2, 3, 255}, {0, 1}, {0, 1}})
    ->ArgNames({"level", "into", "whole_picture"})
    ->Unit(benchmark::kMillisecond);

void BM_Diffusion(benchmark::State& state) {
  const Image& image = picture(false);
  Output out(state);
  for (auto _ : state) {
    if (out.into) {
      diffusion_into(image.view(), selection(false), out.ref());
      benchmark::ClobberMemory();
    } else {
      benchmark::DoNotOptimize(diffusion(image.view(), selection(false)));
    }
  }
  finish(state);
}
BENCHMARK(BM_Diffusion)->ArgsProduct({{0}, {0, 1}})->ArgNames({"", "into"})->Unit(benchmark::kMillisecond);

void BM_Scramble(benchmark::State& state) {
  const auto level = static_cast<std::int32_t>(state.range(0));
  const Image& image = picture(false);
  Output out(state);
  RandomSource random;
  for (auto _ : state) {
    seed_random_source(random, 12345);
    if (out.into) {
      scramble_into(image.view(), selection(false), level, random, out.ref());
      benchmark::ClobberMemory();
    } else {
      benchmark::DoNotOptimize(scramble(image.view(), selection(false), level, random));
    }
  }
  finish(state);
}
BENCHMARK(BM_Scramble)
    ->ArgsProduct({{32, 32767}, {0, 1}})
    ->ArgNames({"level", "into"})
    ->Unit(benchmark::kMillisecond);

void BM_Secure(benchmark::State& state) {
  const bool mosaic = state.range(0) != 0;
  const Image& image = picture(false);
  Output out(state);
  for (auto _ : state) {
    if (mosaic) secure_mosaic_into(image.view(), selection(false), 10, 10, out.ref());
    else secure_blur_into(image.view(), selection(false), out.ref());
    benchmark::ClobberMemory();
  }
  finish(state);
}
BENCHMARK(BM_Secure)->ArgsProduct({{0, 1}, {1}})->ArgNames({"mosaic", "into"})->Unit(benchmark::kMillisecond);

void BM_Fill(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(fill(selection(false), 0x00336699u));
  finish(state);
}
BENCHMARK(BM_Fill)->Unit(benchmark::kMillisecond);

void BM_PutBlock(benchmark::State& state) {
  Image image = picture(false);
  const auto block = fill(selection(false), 0x00336699u);
  for (auto _ : state) {
    put_block(image, selection(false), block);
    benchmark::ClobberMemory();
  }
  finish(state);
}
BENCHMARK(BM_PutBlock)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murkel

BENCHMARK_MAIN();
