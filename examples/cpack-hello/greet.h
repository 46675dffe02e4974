/* greet.dll: the greeting that hello.exe prints. */
#pragma once

#ifdef GREET_BUILD
#define GREET_API __declspec(dllexport)
#else
#define GREET_API __declspec(dllimport)
#endif

/* "Hello, <who>, from greet.dll" in a static buffer. */
GREET_API const char* greeting(const char* who);
