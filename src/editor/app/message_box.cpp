// Message boxes of the document flows.
#include "editor/app/message_box.h"

#include "editor/app/texts.h"

namespace murkel {

int document_message(const wchar_t* message, UINT buttons) {
  return MessageBoxW(nullptr, message, text::kDocumentCaption, buttons | MB_ICONWARNING);
}

}  // namespace murkel
