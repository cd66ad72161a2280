// The File menu's flows over the document.
#pragma once

#include <windows.h>

namespace murkel {

// File > Open: asks for a bitmap file and makes it the document.
void open_image();

// Opens a file named outside the Open dialog (dropped on the window, or a
// file list on the clipboard) as Open does: the save prompt first.
void open_named_file(const wchar_t* path);

// Makes a picture that has no file (a pasted one) the document: untitled,
// unsaved, so that Save goes through Save As. The bitmap becomes the
// document's; false for no bitmap (nullptr).
bool open_untitled_picture(HBITMAP bitmap);

// Loads the file named on the command line while the canvas `canvas` is
// being created (its handle is not stored yet).
void open_command_line_image(HWND canvas);

// "MURKEL_Pro─[" (or "MURKEL_Pro─[*" when modified) + file name + "]";
// "無題" stands for the name of a picture that has no file.
void set_document_title(bool modified);

// File > Save As: asks for a name and writes the picture there. 1 when
// nothing was written (the dialog was cancelled or the write failed; the
// document then stays as it was), 0 when the file was written.
int save_image_as();

// File > Save: writes the picture under its file name, or asks for one.
void save_image();

// File > Revert: reloads the picture from its file, dropping the changes.
void revert_image();

// Closes the editor after offering to save: destroys the main window and
// ends the message loop.
void exit_application();

// The save prompt of Open and Exit when there are changes: true when the
// caller may go on (saved, or the changes declined), false to stop.
bool ask_to_save_changes();

// Loads a bitmap file and makes it the working image's picture: into the
// picture's own bitmaps when they have the file's size and format, otherwise
// into new ones (the previous bitmaps are released). On failure the user is
// told "画像が開けません。" and nothing changes (false).
bool load_picture_file(const wchar_t* path);

}  // namespace murkel
