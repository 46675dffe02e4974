// Safe formatting of setup texts. A text from the setup data may hold any
// sequence of percent signs, so it is never handed to printf: only the first
// "%d" (FormatTextNumber) or the first "%s" (FormatTextString) takes the
// argument, "%%" is a percent sign, and every other percent sequence is
// copied as it stands. The output is cut to size - 1 characters and always
// terminated (nothing is written when size is 0).
#pragma once

#include <stdint.h>

// Both return the length of the text written, without the terminator.
uint32_t FormatTextNumber(char* out, uint32_t size, const char* format, int32_t n);
uint32_t FormatTextString(char* out, uint32_t size, const char* format, const char* s);
