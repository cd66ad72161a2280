// The Edit menu's Copy and Paste, and files dropped on the window.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace murkel {

// Edit > Paste: the picture on the clipboard becomes an untitled document
// (after the save prompt), or the first file of a file list opens as Open
// opens it.
void paste_image();

// Edit > Copy: the selection cut to the picture, or the whole picture when
// there is none, goes to the clipboard as a 24-bit bitmap and as PNG.
void copy_image();

// Whether the clipboard holds something Paste takes.
bool clipboard_has_picture();

// The first file of a drop (or of a file list on the clipboard); empty when none.
std::wstring first_dropped_file(HDROP drop);

}  // namespace murkel
