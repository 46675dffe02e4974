# The Windows programs. The stub is in every setup, so every byte counts:
# no exceptions, RTTI or global constructors, sections collected, stripped,
# libgcc linked statically, and the C runtime left out where it can be.
enable_language(RC)
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)

# Link-time optimisation saves about a twelfth of the code; the raw entry
# point is named to the linker, or it would be dropped as unreferenced.
# Configure with -DSETVIK_STUB_LTO=OFF to see each object's size in the map.
option(SETVIK_STUB_LTO "link-time optimisation for the stub" ON)
set(STUB_LTO_FLAGS)
if(SETVIK_STUB_LTO)
  set(STUB_LTO_FLAGS -flto)
endif()
# Windows keeps the stack 4-byte aligned and the programs use no SSE, so
# they ask for no more (every function saves its alignment code).
set(STUB_COMPILE_FLAGS
  -Os ${STUB_LTO_FLAGS} -mpreferred-stack-boundary=2 -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-tree-loop-distribute-patterns -ffunction-sections -fdata-sections
  -fno-threadsafe-statics -Wall -Wextra)
# Both programs load at their preferred base: a 32-bit program of a few
# seconds' life that reads only its own file gains little from address
# randomisation, and its relocation table would cost 2,560 bytes of the stub
# (512 of the uninstaller). Folding .rdata and .data into their neighbours
# saves 1,024 bytes more in each (cmake/FewerSections.cmake).
include(${CMAKE_SOURCE_DIR}/cmake/FewerSections.cmake)
setvik_fewer_sections_script(SECTIONS_SCRIPT)
set(PROGRAM_LINK_FLAGS
  -Os ${STUB_LTO_FLAGS} -mpreferred-stack-boundary=2 -s -nostartfiles -static-libgcc -Wl,--gc-sections
  -Wl,--disable-dynamicbase,--disable-reloc-section -Wl,-T,${SECTIONS_SCRIPT} -Wl,-u,_WinMainCRTStartup)
set(STUB_LINK_FLAGS ${PROGRAM_LINK_FLAGS} -Wl,-Map=${CMAKE_BINARY_DIR}/setvik-stub.map)

# The floors, compiled for the programs that ship: the core, the engine,
# the wizard and start-up, each a library of link-time-optimised objects
# (archived by gcc-ar, cmake/mingw-i686.cmake). The stub itself is only its
# raw entry point and its resources on top.
set(WIN32_SYSTEM_LIBRARIES kernel32 user32 gdi32 advapi32 shell32 ole32 comdlg32 version)
setvik_floors(_stub Win32 "${CORE_FLOORS};${STUB_FLOORS};startup" "" ${STUB_COMPILE_FLAGS})
target_link_libraries(setvik_base_stub PUBLIC ${WIN32_SYSTEM_LIBRARIES})

# windres does not tell the build which files a script includes.
set_source_files_properties(${CMAKE_SOURCE_DIR}/startup/Stub.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/startup/Stub.manifest;${CMAKE_SOURCE_DIR}/startup/Stub.ico")
set_source_files_properties(${CMAKE_SOURCE_DIR}/uninstaller/Uninstaller.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/uninstaller/Uninstaller.manifest)
add_executable(setvik-stub WIN32 ${CMAKE_SOURCE_DIR}/startup/Runtime.cpp ${CMAKE_SOURCE_DIR}/startup/Stub.rc)
target_compile_options(setvik-stub PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${STUB_COMPILE_FLAGS}>)
target_link_options(setvik-stub PRIVATE ${STUB_LINK_FLAGS})
target_link_libraries(setvik-stub PRIVATE setvik_startup_stub)

# After linking, the stub's length goes into its StubMark record, and the
# stamped program is what build/bin receives. Each program has a size budget
# and a list of the DLLs it may import; going over either fails the build.
set(STUB_BUDGET 53248 CACHE STRING "the stub's size budget in bytes")
set(UNINSTALLER_BUDGET 16384 CACHE STRING "the uninstaller's size budget in bytes")
set(STUB_DLLS kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll comdlg32.dll version.dll)
set(UNINSTALLER_DLLS kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll)
find_program(MINGW_OBJDUMP NAMES i686-w64-mingw32-objdump REQUIRED)
add_custom_command(TARGET setvik-stub POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${MINGW_OBJDUMP}
          ${CMAKE_SOURCE_DIR}/tools/check-program.sh $<TARGET_FILE:setvik-stub> ${STUB_BUDGET} ${STUB_DLLS}
  COMMAND ${CMAKE_SOURCE_DIR}/tools/stamp-stub.sh $<TARGET_FILE:setvik-stub> ${SETVIK_BIN_DIR}/setvik-stub.exe
  VERBATIM)

# The companion uninstaller: the same size rules as the stub, only the
# pieces of the core it needs (the log reader, its own file's layout, the
# deletion at the next restart), stamped with its own length under its own
# tag.
file(GLOB UNINSTALLER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/uninstaller/*.cpp ${CMAKE_SOURCE_DIR}/uninstaller/*.rc)
add_executable(setvik-uninst WIN32 ${UNINSTALLER_SOURCES})
target_link_libraries(setvik-uninst PRIVATE setvik_uninstlog_stub)
target_compile_options(setvik-uninst PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${STUB_COMPILE_FLAGS}>)
target_link_options(setvik-uninst PRIVATE ${PROGRAM_LINK_FLAGS} -Wl,-Map=${CMAKE_BINARY_DIR}/setvik-uninst.map)
add_custom_command(TARGET setvik-uninst POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${MINGW_OBJDUMP} ${CMAKE_SOURCE_DIR}/tools/check-program.sh
          $<TARGET_FILE:setvik-uninst> ${UNINSTALLER_BUDGET} ${UNINSTALLER_DLLS}
  COMMAND ${CMAKE_SOURCE_DIR}/tools/stamp-stub.sh $<TARGET_FILE:setvik-uninst> ${SETVIK_BIN_DIR}/setvik-uninst.exe
          "Setvik UninSize"
  VERBATIM)

# The example setup's payload: a small program and a self-registering
# library, both with version resources (examples/demo); its uninstaller is
# setvik-uninst.exe.
set(DEMO_DIR ${CMAKE_SOURCE_DIR}/examples/demo/app)
add_executable(DemoNotes WIN32 ${DEMO_DIR}/DemoNotes.cpp ${DEMO_DIR}/DemoNotes.rc)
add_library(DemoCore SHARED ${DEMO_DIR}/DemoCore.cpp ${DEMO_DIR}/DemoCore.rc)
set_target_properties(DemoCore PROPERTIES PREFIX "")
foreach(demo DemoNotes DemoCore)
  target_compile_options(${demo} PRIVATE -Os)
  target_link_options(${demo} PRIVATE -s -static-libgcc -static-libstdc++)
  set_target_properties(${demo} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SETVIK_BIN_DIR}/demo)
endforeach()
target_link_libraries(DemoCore PRIVATE advapi32)
# Exports by their plain names (DllRegisterServer, not DllRegisterServer@0),
# as the setup looks them up.
target_link_options(DemoCore PRIVATE -Wl,--kill-at)

# Windows unit tests (setvik-wintests.exe) and the UI driver
# (setvik-uidriver.exe).
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/windows ${CMAKE_BINARY_DIR}/tests/windows)
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/uidriver ${CMAKE_BINARY_DIR}/tests/uidriver)
