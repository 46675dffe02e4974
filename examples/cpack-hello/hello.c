/* hello.exe: prints the greeting of greet.dll for its argument (default
   "world") and exits with 0. */
#include <stdio.h>

#include "greet.h"

int main(int argc, char** argv) {
  puts(greeting(argc > 1 ? argv[1] : "world"));
  return 0;
}
