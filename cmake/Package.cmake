# Installation of the tool and its Debian package, from the host tree.
#   cmake --install build/host [--prefix P]   P/bin/setvik, P/share/setvik/
#     (the stub, the uninstaller, the CPack generator in cmake/), the
#     documentation in P/share/doc/setvik and the man page setvik(1)
#   make package                             build/setvik_<version>_<arch>.deb
# The stub and the uninstaller are built by the win32 tree into build/bin
# (`make all`); the tool finds them in ../share/setvik from itself.
include(GNUInstallDirs)

set(COMPANIONS ${SETVIK_BIN_DIR}/setvik-stub.exe ${SETVIK_BIN_DIR}/setvik-uninst.exe)
install(CODE "foreach(program ${COMPANIONS})
  if(NOT EXISTS \${program})
    message(FATAL_ERROR \"\${program} is missing: build the Windows programs first (make all)\")
  endif()
endforeach()")
install(TARGETS setvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${COMPANIONS} DESTINATION ${CMAKE_INSTALL_DATADIR}/setvik)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/SetvikCPack.cmake ${CMAKE_SOURCE_DIR}/cmake/SetvikCPackProject.cmake
  DESTINATION ${CMAKE_INSTALL_DATADIR}/setvik/cmake)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/project-file.md
  ${CMAKE_SOURCE_DIR}/docs/format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man page, compressed as Debian keeps man pages.
set(MAN_PAGE ${CMAKE_BINARY_DIR}/setvik.1.gz)
add_custom_command(OUTPUT ${MAN_PAGE}
  COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/docs/setvik.1' > '${MAN_PAGE}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/setvik.1 VERBATIM)
add_custom_target(setvik_man_page ALL DEPENDS ${MAN_PAGE})
install(FILES ${MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: its dependencies are what the tool links dynamically
# (dpkg-shlibdeps: libdeflate, zlib, libstdc++, ...); Wine, which runs the
# setups it makes, only a suggestion.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME setvik)
set(CPACK_PACKAGE_VENDOR Setvik)
set(CPACK_PACKAGE_CONTACT "Setvik maintainers <setvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small self-extracting setups for 32-bit Windows")
set(CPACK_PACKAGE_DESCRIPTION "setvik makes, lists, verifies and extracts self-extracting setups for\n\
32-bit Windows from a TOML project file, on Linux. It comes with the setup\n\
program, the companion uninstaller and a CPack generator.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS wine)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build)
include(CPack)
