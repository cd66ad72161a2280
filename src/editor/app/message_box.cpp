// Message boxes of the document flows.
#include "editor/app/message_box.h"

#include "editor/app/texts.h"

namespace murkel {

int document_message(const char* message, UINT buttons) {
  return MessageBoxA(nullptr, message, text::kDocumentCaption, buttons | MB_ICONWARNING);
}

}  // namespace murkel
