# Host programs: the authoring tool, tests, fuzz targets, benchmarks.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -g")
add_compile_options(-Wall -Wextra)

find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
pkg_check_modules(TOMLPP IMPORTED_TARGET tomlplusplus)
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark QUIET)

file(GLOB AUTHORING_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/authoring/*.cpp)
file(GLOB CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/authoring/cli/*.cpp)
file(GLOB TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
file(GLOB TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)

# Optimised core and authoring library, for the tool and the benchmarks.
setvik_floors("" Posix "${CORE_FLOORS}" "")
add_library(setvik_authoring STATIC ${AUTHORING_SOURCES})
target_link_libraries(setvik_authoring PUBLIC setvik_uninstlog PkgConfig::LIBDEFLATE ZLIB::ZLIB)
if(TOMLPP_FOUND)
  target_link_libraries(setvik_authoring PUBLIC PkgConfig::TOMLPP)
endif()

# The core's message box as the tools answer it (messages on standard
# error); the tests link their own double instead.
list(FILTER CLI_SOURCES EXCLUDE REGEX "CliPlatform\\.cpp$")
add_library(setvik_tool_platform OBJECT ${CMAKE_SOURCE_DIR}/authoring/cli/CliPlatform.cpp)
target_include_directories(setvik_tool_platform PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(setvik ${CLI_SOURCES})
target_link_libraries(setvik PRIVATE setvik_authoring setvik_tool_platform)
# `setvik --version` prints the project's version.
configure_file(${CMAKE_SOURCE_DIR}/cmake/SetvikVersion.h.in ${CMAKE_BINARY_DIR}/generated/SetvikVersion.h @ONLY)
target_include_directories(setvik PRIVATE ${CMAKE_BINARY_DIR}/generated)
set_target_properties(setvik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SETVIK_BIN_DIR})

# The same sources with AddressSanitizer, UndefinedBehaviorSanitizer and
# fuzzing coverage, for the unit tests and the fuzz targets.
set(SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
setvik_floors(_san Posix "${CORE_FLOORS}" "" ${SAN_FLAGS} -fsanitize=fuzzer-no-link)
add_library(setvik_authoring_san STATIC ${AUTHORING_SOURCES})
target_link_libraries(setvik_authoring_san PUBLIC setvik_uninstlog_san PkgConfig::LIBDEFLATE ZLIB::ZLIB)
if(TOMLPP_FOUND)
  target_link_libraries(setvik_authoring_san PUBLIC PkgConfig::TOMLPP)
endif()
target_compile_options(setvik_authoring_san PRIVATE ${SAN_FLAGS} -fsanitize=fuzzer-no-link)
target_link_options(setvik_base_san PUBLIC ${SAN_FLAGS})
# The default dialog templates: windres compiles authoring/dialogs/default.rc
# and the .res bytes become an array (DefaultDialogResources()).
find_program(WINDRES NAMES i686-w64-mingw32-windres windres REQUIRED)
set(DIALOGS_OUT ${CMAKE_BINARY_DIR}/dialogs)
add_custom_command(OUTPUT ${DIALOGS_OUT}/DefaultDialogs.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DIALOGS_OUT}
  COMMAND ${WINDRES} -c 65001 -J rc -O res -i ${CMAKE_SOURCE_DIR}/authoring/dialogs/default.rc -o ${DIALOGS_OUT}/default.res
  COMMAND ${CMAKE_COMMAND} -DIN=${DIALOGS_OUT}/default.res -DOUT=${DIALOGS_OUT}/DefaultDialogs.cpp
          -DNAME=kDefaultDialogRes -P ${CMAKE_SOURCE_DIR}/cmake/EmbedBytes.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/authoring/dialogs/default.rc ${CMAKE_SOURCE_DIR}/cmake/EmbedBytes.cmake VERBATIM)
add_library(setvik_dialogs STATIC ${DIALOGS_OUT}/DefaultDialogs.cpp)
target_link_libraries(setvik_authoring PUBLIC setvik_dialogs)
target_link_libraries(setvik_authoring_san PUBLIC setvik_dialogs)
add_library(setvik_test_support STATIC ${TEST_SUPPORT})
target_link_libraries(setvik_test_support PUBLIC setvik_authoring_san)
target_compile_options(setvik_test_support PRIVATE ${SAN_FLAGS})

# The decoder again with the stub's 32-bit bit buffer and fast loop
# (INFLATE_NARROW, as narrow::Inflater; inflate/Inflater.h). A program that
# links it and is compiled with INFLATE_NARROW decodes with the stub's loop;
# the rest of the core, the volume reader included, is shared.
add_library(setvik_inflate_narrow_san STATIC ${CMAKE_SOURCE_DIR}/inflate/Inflater.cpp)
target_compile_definitions(setvik_inflate_narrow_san PUBLIC INFLATE_NARROW)
target_compile_options(setvik_inflate_narrow_san PRIVATE ${SAN_FLAGS} -fsanitize=fuzzer-no-link)
target_link_libraries(setvik_inflate_narrow_san PUBLIC setvik_inflate_san)

enable_testing()
add_executable(setvik_tests ${TEST_SOURCES})
target_compile_options(setvik_tests PRIVATE ${SAN_FLAGS})
target_compile_definitions(setvik_tests PRIVATE SETVIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  SETVIK_BIN_DIR="${SETVIK_BIN_DIR}")
target_link_libraries(setvik_tests PRIVATE setvik_test_support GTest::gtest GTest::gtest_main)
add_dependencies(setvik_tests setvik)  # the command-line tests run the tool
include(GoogleTest)
gtest_discover_tests(setvik_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
# The folders' floors: no include from above, no variable declared away
# from its owner, no production source compiled into a test.
add_test(NAME check_floors COMMAND ${CMAKE_SOURCE_DIR}/tools/check-floors.sh)
set_tests_properties(check_floors PROPERTIES LABELS unit)
# The Debian package, made and unpacked into a scratch root, where the
# installed tool builds the demo setup alone.
add_test(NAME deb_package COMMAND ${CMAKE_SOURCE_DIR}/tests/host/deb-package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(deb_package PROPERTIES LABELS unit TIMEOUT 300)
# The decoder's tests once more on the stub's loop, named narrow.InflaterTest.*.
add_executable(setvik_narrow_tests ${CMAKE_SOURCE_DIR}/tests/unit/InflaterTest.cpp)
target_compile_options(setvik_narrow_tests PRIVATE ${SAN_FLAGS})
target_link_libraries(setvik_narrow_tests PRIVATE setvik_inflate_narrow_san setvik_test_support GTest::gtest
  GTest::gtest_main)
gtest_discover_tests(setvik_narrow_tests TEST_PREFIX narrow. DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# One fuzz target per parser; `make test` runs each for a bounded time from
# its committed seed corpus in tests/fuzz/corpus/<corpus>.
set(FUZZ_SECONDS 30 CACHE STRING "seconds each fuzz target runs in the test suite")
function(setvik_fuzz_target name corpus)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${SAN_FLAGS} -fsanitize=fuzzer-no-link)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE setvik_test_support)
  add_test(NAME ${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzzer.sh $<TARGET_FILE:${name}>
            ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus} ${FUZZ_SECONDS})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
foreach(src ${FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  setvik_fuzz_target(${name} ${name} ${src})
endforeach()
# The decoder target runs both loops on each input, which must agree
# (tests/fuzz/NarrowDecode.cpp is the stub's 32-bit side).
add_library(setvik_narrow_decode STATIC ${CMAKE_SOURCE_DIR}/tests/fuzz/NarrowDecode.cpp)
target_compile_options(setvik_narrow_decode PRIVATE ${SAN_FLAGS} -fsanitize=fuzzer-no-link)
target_link_libraries(setvik_narrow_decode PRIVATE setvik_inflate_narrow_san)  # INFLATE_NARROW stays in here
target_link_libraries(fuzz_inflate PRIVATE setvik_narrow_decode)

# Benchmarks print figures and assert nothing.
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE setvik_authoring setvik_tool_platform)
endforeach()

# Windows programs under Wine on a virtual X display; they use build/bin,
# which `make` fills from both trees before the tests run.
file(GLOB WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.sh)
list(FILTER WINE_TESTS EXCLUDE REGEX "wine-env\\.sh$")
foreach(script ${WINE_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME wine_${name} COMMAND ${script})
  set_tests_properties(wine_${name} PROPERTIES LABELS wine TIMEOUT 900 RESOURCE_LOCK wineprefix)
endforeach()

# `cmake --install` and the Debian package of the tool (`make package`).
include(${CMAKE_SOURCE_DIR}/cmake/Package.cmake)
