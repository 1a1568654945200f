// MsgBoxInfo and MsgBoxWarning.
#include "desktop/message_box.hpp"

#include <string>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

using korvane::kFalse;
using korvane::kTrue;

// Shows the message; the buffer then holds the message as it stood when the call began, even
// when the text and the buffer are the same block. A null buffer: nothing shown, 0.
extern "C" KORVANE_API float KORVANE_CALL MsgBoxInfo(const char* text, double, char* buffer, int) {
  return korvane::guarded([&] {
    if (buffer == nullptr) {
      return kFalse;
    }
    const std::string message(korvane::text_argument(text));
    korvane::show_information(message.c_str());
    korvane::overwrite_buffer(buffer, message);
    return kTrue;
  });
}

// Asks the question; the buffer then holds "Yes" or "No". A null buffer: nothing asked, 0.
extern "C" KORVANE_API float KORVANE_CALL MsgBoxWarning(const char* text, double, char* buffer,
                                                        int) {
  return korvane::guarded([&] {
    if (buffer == nullptr) {
      return kFalse;
    }
    const bool yes = korvane::ask_yes_no(text == nullptr ? "" : text);
    korvane::overwrite_buffer(buffer, yes ? "Yes" : "No");
    return kTrue;
  });
}
