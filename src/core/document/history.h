// The edit history: the steps behind the picture as it stands and, after
// stepping back, those ahead of it; the Undo command's toggle over them; and
// how far the picture is from its file.
//
// A step keeps what it needs to be exchanged back (a `Change`, which the
// caller defines and which tells its memory by bytes()); the caller makes
// the exchange when a step is taken back or done again. Steps are numbered
// along the line of pictures from the start, so that the distance to the
// saved picture is known after any walk, even when old steps are dropped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <optional>
#include <utility>

namespace murkel {

struct HistoryLimits {
  std::size_t steps = 100;
  std::size_t bytes = std::size_t{512} << 20;
};

template <typename Change>
class History {
 public:
  explicit History(HistoryLimits limits = {}) : limits_(limits) {}

  // A new picture, without steps: its file's content (`saved`, after an
  // Open or a Revert) or one that no file holds (pasted).
  void start(bool saved) {
    steps_.clear();
    position_ = 0;
    bytes_ = 0;
    first_state_ = 0;
    saved_state_ = saved ? std::optional<std::int64_t>(0) : std::optional<std::int64_t>(-1);
    undo_went_back_ = false;
  }

  void set_limits(HistoryLimits limits) {
    limits_ = limits;
    trim();
  }

  // A step just made. The steps ahead are dropped (a saved picture among
  // them can no longer be reached), then the oldest ones while more than the
  // limits are kept; the newest step is always kept. Throws std::bad_alloc
  // with the history as it was but without the steps ahead.
  void record(Change change) {
    drop_ahead();
    const std::size_t size = change.bytes();
    steps_.push_back(std::move(change));
    bytes_ += size;
    ++position_;
    undo_went_back_ = false;
    trim();
  }

  // Hands out the steps ahead, which the next record would drop (their
  // memory may serve the next step).
  std::deque<Change> take_steps_ahead() {
    std::deque<Change> ahead;
    while (steps_.size() > position_) {
      bytes_ -= steps_.back().bytes();
      ahead.push_front(std::move(steps_.back()));
      steps_.pop_back();
    }
    if (saved_state_ && *saved_state_ > current_state()) saved_state_.reset();
    return ahead;
  }

  // A change made without a step (memory was short for one): no step is
  // kept, and the picture is one further from its file.
  void record_without_step() {
    drop_ahead();
    forget_steps();
    ++first_state_;
    undo_went_back_ = false;
  }

  // No step is kept any more (memory was wanted elsewhere); the distance
  // to the saved picture stays known.
  void forget_steps() {
    while (!steps_.empty()) release_one();
  }

  // Drops one step to give its memory back: the oldest one behind, else the
  // farthest ahead. False when there is none.
  bool release_one() {
    if (steps_.empty()) return false;
    if (position_ > 0) {
      bytes_ -= steps_.front().bytes();
      steps_.pop_front();
      --position_;
      ++first_state_;
    } else {
      bytes_ -= steps_.back().bytes();
      steps_.pop_back();
    }
    return true;
  }

  [[nodiscard]] bool can_step_back() const { return position_ > 0; }
  [[nodiscard]] bool can_step_forward() const { return position_ < steps_.size(); }

  // Moves one step back (forward) and hands out the change to exchange:
  // nullptr when there is nowhere to step.
  Change* step_back() {
    if (!can_step_back()) return nullptr;
    undo_went_back_ = false;
    return &steps_[--position_];
  }
  Change* step_forward() {
    if (!can_step_forward()) return nullptr;
    undo_went_back_ = false;
    return &steps_[position_++];
  }

  // The Undo command: one step back, or forward again when the command
  // before it was an Undo that went back. nullptr: nowhere to go.
  Change* undo() {
    if (undo_went_back_) return step_forward();  // which clears the toggle
    Change* change = step_back();
    undo_went_back_ = change != nullptr;
    return change;
  }
  // 1 while the last command was an Undo that went back.
  [[nodiscard]] std::uint8_t undo_toggle() const { return undo_went_back_ ? 1 : 0; }

  // The picture as it stands is its file's content now.
  void mark_saved() { saved_state_ = current_state(); }

  // How many steps the picture is from its file's content (at least 1 when
  // that content can no longer be reached), held to 32767: unsaved changes
  // exist while it is above 0.
  [[nodiscard]] std::int16_t modification_counter() const {
    const std::int64_t distance =
        saved_state_ ? std::abs(current_state() - *saved_state_) : std::max<std::int64_t>(1, current_state() + 1);
    return static_cast<std::int16_t>(std::min<std::int64_t>(distance, 32767));
  }

  [[nodiscard]] std::size_t steps() const { return steps_.size(); }
  [[nodiscard]] std::size_t steps_behind() const { return position_; }
  [[nodiscard]] std::size_t bytes() const { return bytes_; }

 private:
  [[nodiscard]] std::int64_t current_state() const { return first_state_ + static_cast<std::int64_t>(position_); }

  void drop_ahead() { take_steps_ahead(); }

  // Steps ahead go first (they are the least likely to be wanted), then the oldest.
  void trim() {
    while (steps_.size() > limits_.steps || (bytes_ > limits_.bytes && steps_.size() > 1)) {
      if (position_ < steps_.size()) {
        bytes_ -= steps_.back().bytes();
        steps_.pop_back();
      } else {
        release_one();
      }
    }
  }

  HistoryLimits limits_;
  std::deque<Change> steps_;
  std::size_t position_ = 0;  // steps behind the picture as it stands
  std::size_t bytes_ = 0;
  std::int64_t first_state_ = 0;              // the picture before the oldest step kept
  std::optional<std::int64_t> saved_state_ = 0;  // -1: never saved; none: no longer reachable
  bool undo_went_back_ = false;
};

}  // namespace murkel
