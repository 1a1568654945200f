// MsgBoxInfo and MsgBoxWarning.
#include "desktop/message_box.hpp"

#include <string>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

// Shows the message; the buffer then holds the message as it stood when the call began, even
// when the text and the buffer are the same block. A null buffer: nothing shown, 0.
KORVANE_EXPORT(MsgBoxInfo) {
  return korvane::guarded([&] {
    if (buffer == nullptr) {
      return korvane::kFalse;
    }
    const std::string message(korvane::text_argument(text));
    korvane::show_information(message.c_str());
    korvane::overwrite_buffer(buffer, message);
    return korvane::kTrue;
  });
}

// Asks the question; the buffer then holds "Yes" or "No". A null buffer: nothing asked, 0.
KORVANE_EXPORT(MsgBoxWarning) {
  return korvane::guarded([&] {
    if (buffer == nullptr) {
      return korvane::kFalse;
    }
    const bool yes = korvane::ask_yes_no(korvane::text_argument(text));
    korvane::overwrite_buffer(buffer, yes ? "Yes" : "No");
    return korvane::kTrue;
  });
}
