// The two blocks an effect moves pixels through: the picture pixels it reads
// and the new colours of the selection. They are kept for the life of the
// picture, because fresh memory is slow on its first touch (page faults, on
// some machines several times the effect itself).
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/effects/effect_bands.h"
#include "core/pixels.h"

namespace murkel {

// A 32-bit top-down DIB section selected into a memory DC of its own.
struct TransferBlock {
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ previous = nullptr;
  Colour* pixels = nullptr;
  std::int32_t width = 0;  // the DIB section's size
  std::int32_t height = 0;
};

// Makes `block` ready for width x height pixels. A `shaped` use (GDI copies
// into it, rows `block.width` apart) needs rows and columns enough; any other
// use (rows `width` apart) needs pixels enough. A block that suffices is kept;
// otherwise it is replaced by one of exactly that size. False when that
// memory cannot be had: the block is then released.
[[nodiscard]] bool reserve_transfer_block(TransferBlock& block, std::int64_t width, std::int64_t height, bool shaped);

void release_transfer_block(TransferBlock& block);

// Gives back the memory of the effects' two blocks and of the zoomed view's
// copy of a picture's part (when another picture size comes, or memory runs
// short elsewhere). True when any was held.
bool release_transfer_blocks();

// Every failure to get memory (a refused allocation, a bitmap or block that
// GDI could not make) is noted on its thread; a command tells by that flag
// whether it failed for want of memory or for another reason (a damaged
// file). take_memory_short() reads the flag and clears it.
void note_memory_short();
bool take_memory_short();

// Runs `attempt` (true when it succeeded); when it failed for want of memory
// while the effects' blocks hold some, gives that memory back and runs it
// once more. Any other failure is final: the blocks are kept. Every command
// that needs picture-sized memory goes through here.
template <typename Attempt>
bool with_blocks_given_back(Attempt&& attempt) {
  take_memory_short();
  return attempt() || (take_memory_short() && release_transfer_blocks() && attempt());
}

// Selection pixels an effect computes at once straight in a picture's rows:
// a band's blocks stay in the processor's cache.
inline constexpr std::int64_t kBandPixels = std::int64_t{1} << 16;

// How an effect over `selection` goes through a picture's rows: the rows of
// a band (the selection's height when it is done at once), and the parts of
// the result block (two when the next band reads a band's rows, so that it
// is written after that one is computed).
struct EffectBandSizes {
  std::int64_t height = 0;
  int parts = 1;
  std::int64_t reach = 0;  // rows of its neighbours a band reads (plan_bands)
};
[[nodiscard]] EffectBandSizes effect_band_sizes(EffectCode code, const EffectParameters& parameters,
                                                const Rect& selection);

// The blocks an effect over `selection` needs: straight in the picture's
// rows (`direct`), one band's footprint and the band's parts; through GDI,
// the whole footprint and selection. Zero for a block it does not use.
struct EffectBlocks {
  std::int64_t source_width = 0, source_height = 0;
  std::int64_t result_width = 0, result_height = 0;
};
[[nodiscard]] EffectBlocks effect_blocks(EffectCode code, const EffectParameters& parameters, const Rect& selection,
                                         std::int32_t picture_width, std::int32_t picture_height, bool direct);
// Blocks as large as the larger of each: enough for both effects.
[[nodiscard]] EffectBlocks enough_for_both(const EffectBlocks& a, const EffectBlocks& b);

// Once a selection is made: the blocks that an effect on it will need with
// the present settings are made ready and their pages warmed, so that the
// first effect does not wait for fresh memory. Nothing is told when memory
// is short: the effect finds out and says so.
void prepare_transfer_blocks(const Rect& selection);

}  // namespace murkel
