// Get_ClipBoard_Text and Get_ClipBoard_Files: both extend the text already in the buffer.
#include "desktop/clipboard.hpp"

#include <optional>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

namespace korvane {
namespace {

// A null buffer, or one that holds no text within the capacity, gives 0 and stays untouched;
// so does a clipboard that cannot be reached.
float append_from_clipboard(char* buffer, bool (*append)(BufferWriter&)) {
  std::optional<BufferWriter> out = BufferWriter::append(buffer);
  if (!out) {
    return kFalse;
  }
  return result(append(*out));
}

}  // namespace
}  // namespace korvane

KORVANE_EXPORT(Get_ClipBoard_Text) {
  return korvane::guarded(
      [&] { return korvane::append_from_clipboard(buffer, korvane::append_clipboard_text); });
}

KORVANE_EXPORT(Get_ClipBoard_Files) {
  return korvane::guarded(
      [&] { return korvane::append_from_clipboard(buffer, korvane::append_clipboard_files); });
}
