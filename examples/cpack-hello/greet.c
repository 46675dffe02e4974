/* greet.dll: builds the greeting, so that the setup has a library to carry. */
#include <stdio.h>

#include "greet.h"

const char* greeting(const char* who) {
  static char text[256];
  snprintf(text, sizeof text, "Hello, %s, from greet.dll", who);
  return text;
}
