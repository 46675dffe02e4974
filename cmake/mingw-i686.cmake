# Cross toolchain for the Windows programs: mingw-w64, i686, win32 threads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Archives of link-time-optimised objects need the compiler's archiver.
set(CMAKE_AR i686-w64-mingw32-gcc-ar CACHE FILEPATH "archiver with the LTO plugin")
set(CMAKE_RANLIB i686-w64-mingw32-gcc-ranlib CACHE FILEPATH "ranlib with the LTO plugin")
