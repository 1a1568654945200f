#include <windows.h>

#include "desktop/message_box.hpp"

namespace korvane {

static_assert((MB_OK | MB_ICONINFORMATION) == 0x40 && (MB_YESNO | MB_ICONWARNING) == 0x34);

void show_information(const char* message) {
  MessageBoxA(nullptr, message, kInformationCaption, MB_OK | MB_ICONINFORMATION);
}

bool ask_yes_no(const char* message) {
  return MessageBoxA(nullptr, message, kQuestionCaption, MB_YESNO | MB_ICONWARNING) == IDYES;
}

}  // namespace korvane
