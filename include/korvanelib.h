/* korvanelib: script functions for a scripting host, loaded as a dynamic library.
 *
 * Every export shares one signature. A host resolves an export by name and calls it with a
 * text, a number, a writable text buffer and an integer that no export reads; the result is
 * KORVANE_TRUE, KORVANE_FALSE or (from Version alone) KORVANE_VERSION. Usable from C and C++.
 */
#ifndef KORVANELIB_H
#define KORVANELIB_H

#ifdef __cplusplus
extern "C" {
#endif

/* The platform's standard calling convention for the exports. */
#if defined(_WIN32)
#define KORVANE_CALL __stdcall
#else
#define KORVANE_CALL
#endif

/* Symbol visibility: exported when building the library, imported (or plain) when using it. */
#if defined(_WIN32)
#if defined(KORVANE_BUILDING_LIBRARY)
#define KORVANE_API __declspec(dllexport)
#else
#define KORVANE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KORVANE_API __attribute__((visibility("default")))
#else
#define KORVANE_API
#endif

/* Bytes of the caller's buffer the library may use, terminating NUL included. Output that does
 * not fit is cut; a buffer read as input must hold a NUL within this many bytes. */
#ifndef KORVANE_BUFFER_CAPACITY
#define KORVANE_BUFFER_CAPACITY 65536
#endif

/* Result values. */
#define KORVANE_FALSE 0.0f          /* not done, no, or a math value of zero (buffer untouched) */
#define KORVANE_TRUE 1.0f           /* done, or yes */
#define KORVANE_VERSION 1.01f       /* the library's version, returned by Version */
#define KORVANE_VERSION_TEXT "1.01" /* the same version as text; the build takes it from here */

/* The one signature of every export: text, number, buffer, fourth (never read). */
typedef float(KORVANE_CALL* korvane_script_function)(const char* text, double number, char* buffer,
                                                     int fourth);

/* One declaration a line, each with its comment. */
/* clang-format off */

/* Library frame */
KORVANE_API float KORVANE_CALL Version(const char* text, double number, char* buffer, int fourth); /* returns KORVANE_VERSION, writes nothing */

/* Character classes of the text ("C" locale, bytes 0x80-0xFF in no class); empty text gives 0 */
KORVANE_API float KORVANE_CALL Is_Digit(const char* text, double number, char* buffer, int fourth); /* every byte 0-9 */
KORVANE_API float KORVANE_CALL Is_Alpha(const char* text, double number, char* buffer, int fourth); /* every byte A-Z a-z */
KORVANE_API float KORVANE_CALL Is_Space(const char* text, double number, char* buffer, int fourth); /* every byte space, \t \n \v \f \r */
KORVANE_API float KORVANE_CALL Is_Punct(const char* text, double number, char* buffer, int fourth); /* every byte printable, not alphanumeric, not space */
KORVANE_API float KORVANE_CALL Is_AlNum(const char* text, double number, char* buffer, int fourth); /* every byte A-Z a-z 0-9 */
KORVANE_API float KORVANE_CALL IsSwitchType(const char* text, double number, char* buffer, int fourth); /* text is a switch item's path */

/* Math: the value as "%f" text over the buffer and 1, or 0 with the buffer untouched for zero */
KORVANE_API float KORVANE_CALL Sine(const char* text, double number, char* buffer, int fourth);      /* sin of number degrees */
KORVANE_API float KORVANE_CALL Cosine(const char* text, double number, char* buffer, int fourth);    /* cos of number degrees */
KORVANE_API float KORVANE_CALL Tangent(const char* text, double number, char* buffer, int fourth);   /* tan of number degrees */
KORVANE_API float KORVANE_CALL Floor(const char* text, double number, char* buffer, int fourth);     /* floor(number) */
KORVANE_API float KORVANE_CALL Ceil(const char* text, double number, char* buffer, int fourth);      /* ceil(number) */
KORVANE_API float KORVANE_CALL Trunc(const char* text, double number, char* buffer, int fourth);     /* trunc(number) */
KORVANE_API float KORVANE_CALL Round(const char* text, double number, char* buffer, int fourth);     /* round(number), halves away from zero */
KORVANE_API float KORVANE_CALL Exponent(const char* text, double number, char* buffer, int fourth);  /* e to the number */
KORVANE_API float KORVANE_CALL Power(const char* text, double number, char* buffer, int fourth);     /* text (as a number) to the number */
KORVANE_API float KORVANE_CALL Remainder(const char* text, double number, char* buffer, int fourth); /* IEEE remainder of text by (float)number */

/* Desktop */
KORVANE_API float KORVANE_CALL MsgBoxInfo(const char* text, double number, char* buffer, int fourth);         /* shows text with OK; copies text over the buffer */
KORVANE_API float KORVANE_CALL MsgBoxWarning(const char* text, double number, char* buffer, int fourth);      /* asks text with Yes/No; "Yes" or "No" over the buffer */
KORVANE_API float KORVANE_CALL Get_ClipBoard_Text(const char* text, double number, char* buffer, int fourth);  /* appends the clipboard's text to the buffer */
KORVANE_API float KORVANE_CALL Get_ClipBoard_Files(const char* text, double number, char* buffer, int fourth); /* appends the copied files' paths, one a line */
KORVANE_API float KORVANE_CALL OpenURL(const char* text, double number, char* buffer, int fourth);             /* opens text (address, document, folder) through the shell */
/* Runs the buffer's command line and puts its output over the buffer. Exported as
 * "_ShellExecute"; a name with a leading underscore and a capital is reserved in C and C++, so
 * the declaration bears another identifier and names the export through an assembler label. A
 * compiler without assembler labels reaches the export by name at run time only. */
#if defined(__GNUC__) || defined(__clang__)
KORVANE_API float KORVANE_CALL ShellExecuteCapture(const char* text, double number, char* buffer, int fourth) __asm__("_ShellExecute");
#endif

/* Clock */
KORVANE_API float KORVANE_CALL Time_Format(const char* text, double number, char* buffer, int fourth);         /* local time by pattern text (null: default) */
KORVANE_API float KORVANE_CALL Precision_TimeStamp(const char* text, double number, char* buffer, int fourth); /* UTC time by pattern text */
KORVANE_API float KORVANE_CALL Start_Counter(const char* text, double number, char* buffer, int fourth);       /* current time in seconds over the buffer */
KORVANE_API float KORVANE_CALL End_Counter(const char* text, double number, char* buffer, int fourth);         /* seconds since the buffer's start time over the buffer */

/* clang-format on */

#ifdef __cplusplus
}
#endif

#endif /* KORVANELIB_H */
