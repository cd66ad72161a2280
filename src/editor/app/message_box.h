// The one way the editor tells the user something.
#pragma once

#include <windows.h>

namespace murkel {

// A box with no owner, the document caption and the warning icon; returns the answer.
int document_message(const wchar_t* message, UINT buttons = MB_OK);

}  // namespace murkel
