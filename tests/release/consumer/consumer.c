/* Links against korvanelib and calls it directly; prints what the calls answer. */
#include <korvanelib.h>
#include <stdio.h>
#include <string.h>

static char buffer[KORVANE_BUFFER_CAPACITY];

int main(void) {
  const float version = Version(NULL, 0.0, NULL, 0);
  const float sine = Sine(NULL, 30.0, buffer, 0);
  printf("version %s %d\n", KORVANE_VERSION_TEXT, version == KORVANE_VERSION);
  printf("sine %d %s\n", sine == KORVANE_TRUE, buffer);
  printf("capacity %d\n", (int)sizeof buffer);
  /* The export whose name C cannot declare, reached through the header's other identifier. */
  strcpy(buffer, "echo linked");
  printf("shell %d %s", ShellExecuteCapture(NULL, 0.0, buffer, 0) == KORVANE_TRUE, buffer);
  return version == KORVANE_VERSION && sine == KORVANE_TRUE ? 0 : 1;
}
