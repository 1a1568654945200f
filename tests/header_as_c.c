/* The public header used from C: every declaration has the script-function signature. */
#include <korvanelib.h>

korvane_script_function const korvane_all_exports[] = {Version,
                                                       Is_Digit,
                                                       Is_Alpha,
                                                       Is_Space,
                                                       Is_Punct,
                                                       Is_AlNum,
                                                       IsSwitchType,
                                                       Sine,
                                                       Cosine,
                                                       Tangent,
                                                       Floor,
                                                       Ceil,
                                                       Trunc,
                                                       Round,
                                                       Exponent,
                                                       Power,
                                                       Remainder,
                                                       MsgBoxInfo,
                                                       MsgBoxWarning,
                                                       Get_ClipBoard_Text,
                                                       Get_ClipBoard_Files,
                                                       OpenURL,
                                                       ShellExecuteCapture,
                                                       Time_Format,
                                                       Precision_TimeStamp,
                                                       Start_Counter,
                                                       End_Counter};

float korvane_version_constant(void) { return KORVANE_VERSION + KORVANE_TRUE + KORVANE_FALSE; }

char korvane_buffer_of_capacity[KORVANE_BUFFER_CAPACITY];
