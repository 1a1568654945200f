// Message boxes: what the platforms share, and what each platform supplies.
#pragma once

namespace korvane {

// The information box's caption (with its question mark) and the Yes/No box's caption. Scripts
// and the people who use them know the boxes by these exact texts: the question-like caption
// belongs to the box with the single OK button, and the space before its "?" stays.
inline constexpr const char* kInformationCaption = "Confirm Warning Message ?";
inline constexpr const char* kQuestionCaption = "DLL received Message";

// Shows `message` (never null) with the information icon and an OK button, titled
// kInformationCaption, and returns when the user has dismissed it (or at once when no box can
// be shown).
void show_information(const char* message);

// Asks `message` (never null) with the warning icon and Yes and No buttons, titled
// kQuestionCaption. True only when the user answered Yes; a box that cannot be shown is a No.
bool ask_yes_no(const char* message);

}  // namespace korvane
