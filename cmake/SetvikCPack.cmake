#[=======================================================================[.rst:
SetvikCPack
-----------

A CPack generator that makes a Setvik setup: one self-extracting
``setup.exe`` for 32-bit Windows, made on Linux. Include this module before
``include(CPack)``; ``cpack`` then installs the project into a staging
folder, writes a Setvik project file from the CPack variables below and
runs ``setvik build``. The setup is ``<CPACK_PACKAGE_FILE_NAME>.exe`` in the
package directory.

.. code-block:: cmake

  list(APPEND CMAKE_MODULE_PATH /usr/share/setvik/cmake)
  include(SetvikCPack)         # CPACK_GENERATOR External, unless set
  set(CPACK_PACKAGE_EXECUTABLES "hello;Hello")
  include(CPack)

It rests on CPack's External generator (``CPACK_EXTERNAL_ENABLE_STAGING``,
``CPACK_EXTERNAL_PACKAGE_SCRIPT``, which this module sets). Every installed
file becomes a file of the setup, below the destination folder, in name
order; empty folders are left out. A project of more than one component is
refused: a setup installs one set of files.

Variables of CPack that the setup takes
^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^

``CPACK_PACKAGE_NAME``, ``CPACK_PACKAGE_VERSION``
  The title, ``<name> <version>`` (texts and captions), and the version
  shown in the list of installed programs.

``CPACK_PACKAGE_VENDOR``
  The publisher shown in the list of installed programs (CPack's
  placeholder ``Humanity`` is left out).

``CPACK_PACKAGE_INSTALL_DIRECTORY``
  The proposed destination folder, below ``Program Files``; also the
  start-menu group of the shortcuts.

``CPACK_PACKAGE_INSTALL_REGISTRY_KEY``
  The name under which the program is listed among the installed programs
  (needed for the uninstaller).

``CPACK_PACKAGE_ICON``
  A picture for the wizard's picture panel: an uncompressed BMP, about
  150 x 270 pixels.

``CPACK_RESOURCE_FILE_LICENSE``
  A plain-text file shown on the information page. CPack's own placeholder
  (its generic license text) is left out.

``CPACK_PACKAGE_EXECUTABLES``
  Pairs of an executable's name (without ``.exe``) and a shortcut label:
  a start-menu shortcut for each, to ``<CPACK_SETVIK_EXECUTABLES_DIRECTORY>\<name>.exe``.

``CPACK_CREATE_DESKTOP_LINKS``
  Names from ``CPACK_PACKAGE_EXECUTABLES`` that also get a desktop shortcut.

``CPACK_PACKAGE_FILE_NAME``
  The setup's file name, with ``.exe``.

Variables of the Setvik generator
^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^

``CPACK_SETVIK_EXECUTABLE``
  The ``setvik`` tool. By default the one installed with this module
  (``../../../bin/setvik`` from it), else ``setvik`` on the ``PATH``.

``CPACK_SETVIK_TITLE``
  The title instead of ``<name> <version>``.

``CPACK_SETVIK_DEFAULT_FOLDER``
  The whole proposed destination folder instead of
  ``#Program Files#\<CPACK_PACKAGE_INSTALL_DIRECTORY>``; it may begin with
  a folder macro of the project file.

``CPACK_SETVIK_FOLDER_CHANGEABLE``
  Whether the user may choose another folder (default on).

``CPACK_SETVIK_FULL_SCREEN``
  A full-screen background behind the wizard (default off).

``CPACK_SETVIK_BACKGROUND_TITLE``
  The title painted on the full-screen background (default the title).

``CPACK_SETVIK_EXECUTABLES_DIRECTORY``
  The folder, below the destination, of the programs that
  ``CPACK_PACKAGE_EXECUTABLES`` names (default ``bin``).

``CPACK_SETVIK_START_MENU_GROUP``
  The start-menu folder of the shortcuts (default
  ``CPACK_PACKAGE_INSTALL_DIRECTORY``; empty: Programs itself).

``CPACK_SETVIK_RUN_AFTER``
  A name from ``CPACK_PACKAGE_EXECUTABLES``: the finish page offers to
  start that program when the setup closes.

``CPACK_SETVIK_INSTALLED_ICON_NAME``
  An installed file, relative to the destination folder (such as
  ``bin/hello.exe``), whose icon the list of installed programs shows.

``CPACK_SETVIK_URL_INFO_ABOUT``, ``CPACK_SETVIK_HELP_LINK``
  Web pages about the program and for help, for that list.

``CPACK_SETVIK_UNINSTALLER``
  Add Setvik's uninstaller, ``Uninstall.exe`` in the destination folder
  with a start-menu shortcut ``Uninstall <title>`` (default on).

``CPACK_SETVIK_COMPRESSION``
  0 (stored) to 12 (smallest, the default).

``CPACK_SETVIK_ARCHITECTURE``, ``CPACK_SETVIK_SCOPE``, ``CPACK_SETVIK_ENCODING``
  Written as the ``[setup]`` keys ``architecture``, ``scope`` and
  ``encoding`` when set (see the project file's documentation for their
  values).

``CPACK_SETVIK_PROJECT_EXTRA``
  TOML appended to the project file as written: further tables such as
  ``[texts.welcome]`` or ``[folder_memory]`` (not ``[setup]``, ``[frame]``,
  ``[background]`` or ``[uninstaller]``, which the generator writes).

``CPACK_SETVIK_STUB``, ``CPACK_SETVIK_UNINSTALLER_PROGRAM``
  The setup program and the uninstaller ``setvik build`` uses (its
  ``--stub`` and ``--uninstaller``); by default those installed with it.

``CPACK_SETVIK_SIGN_COMMAND``
  ``setvik build --sign-command``: signs the uninstaller and the setup,
  ``{in}`` standing for the unsigned file and ``{out}`` for the signed one.

The project file that was built is kept beside the staging folder,
``_CPack_Packages/<system>/External/<CPACK_PACKAGE_FILE_NAME>.toml``.
#]=======================================================================]

if(NOT DEFINED CPACK_GENERATOR)
  set(CPACK_GENERATOR External)
endif()
# Texts with quotes, backslashes or line breaks reach the package script
# as written.
if(NOT DEFINED CPACK_VERBATIM_VARIABLES)
  set(CPACK_VERBATIM_VARIABLES ON)
endif()
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_REQUESTED_VERSIONS "1.0")
set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/SetvikCPackProject.cmake")
if(NOT CPACK_SETVIK_EXECUTABLE)
  find_program(CPACK_SETVIK_EXECUTABLE setvik HINTS "${CMAKE_CURRENT_LIST_DIR}/../../../bin"
    NO_CMAKE_FIND_ROOT_PATH DOC "the setvik tool that the Setvik CPack generator runs")
endif()
