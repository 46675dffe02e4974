# Writes the bytes of a file as a C++ array, for data built into a program:
#   cmake -DIN=<file> -DOUT=<source.cpp> -DNAME=<symbol> -P EmbedBytes.cmake
# defines `const unsigned char NAME[]` and `const size_t NAMESize`.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
if(size EQUAL 0)
  message(FATAL_ERROR "${IN} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN} by cmake/EmbedBytes.cmake; do not edit.\n"
  "#include <stddef.h>\n"
  "extern const unsigned char ${NAME}[] = {\n${bytes}\n};\n"
  "extern const size_t ${NAME}Size = ${size};\n")
file(RENAME "${OUT}.tmp" "${OUT}")
