// What the canvas shows: redraws onto the view surface, the selection's
// outline, the scroll bars and the status fields. The windows and the flows
// draw through these.
#pragma once

#include <windows.h>

#include <string>

#include "core/canvas/scroll.h"
#include "core/canvas/selection.h"

namespace murkel {

// Background, then the working image at the scroll offset and the zoom, onto `target`.
void full_redraw(HDC target);

// The working image alone at the scroll offset onto the view surface (the
// background where no picture is open). Call with the view lock held.
void show_working_image();

// Every change of the working image's pixels, or of the bitmap it holds,
// calls this (with the view lock held): what the view keeps of it is then
// computed anew.
void mark_picture_changed();

// Empties the selection: the effect items grayed, the view without outline,
// the selection field cleared.
void clear_selection();
void draw_selection_outline();
// Four lines over the outline's corners on the view surface (the view lock held).
void draw_outline(const Outline& outline);

// The selection field shows the selection's first and last pixels (after a
// change made without a drag).
void show_selection_field();

// After the picture changed size in place (a Revert, a crop or its undo):
// the scroll ranges of the new size at the zoom it is shown at, the offset
// kept where it still fits, and the canvas drawn anew.
void picture_resized();

// The picture's size on the canvas at the zoom.
Point zoomed_picture_size();

// Sets a scroll record's range, page and position and applies it to a bar
// (nothing when the record holds them already).
void set_scroll_record(HWND hwnd, int bar, SCROLLINFO& record, const ScrollRecord& values);

// Sets both bars' records, and has the bars take them (which Wine paints in
// some 5 ms a bar) once the messages already waiting have been handled, by
// posting kApplyScrollBars to the canvas: a zoom shows the canvas first.
inline constexpr UINT kApplyScrollBars = WM_APP + 1;
void set_scroll_records_after(const ScrollRecord& horizontal, const ScrollRecord& vertical);
// The canvas's answer to kApplyScrollBars.
void apply_waiting_scroll_bars();

// The dialog frame (doubled) and the horizontal scroll bar's height at the
// main window's DPI, for the status fields and the wheel.
void measure_frame_and_bar(UINT dpi);

// The scroll ranges (and the view, where the picture now fits) after the
// canvas has taken its new size.
void apply_resize_rule();

// Puts `content` into a status field through its buffer (cleared first).
void set_status_field(int field, wchar_t* buffer, const std::string& content);

}  // namespace murkel
