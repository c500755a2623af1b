# cmake/install.cmake -- `cmake --install build --prefix P` installs the game as a desktop program.
#
#   P/lib/lumavex/         the game folder as built (program, data pack, help, sample boxes,
#                          and in sfiles/ the gift extractor and the installer every gift
#                          carries); read-only once installed
#   P/bin/lumavex          the launcher: makes the player's own game folder on the first run,
#                          records it for gifts, and starts the game there
#   P/share/applications/lumavex.desktop, P/share/icons/hicolor/NxN/apps/lumavex.png,
#   P/share/mime/packages/lumavex.xml, P/share/metainfo/<id>.metainfo.xml,
#   P/share/man/man6/lumavex.6
#
# The icons are drawn by mkpack from the pack's window-icon artwork. Installed without DESTDIR,
# the desktop's caches are brought up to date when their tools exist, and the files are recorded
# for the uninstall target.

include(GNUInstallDirs)
set(LUMAVEX_INSTALL_GAMEDIR lib/lumavex CACHE STRING
  "Where the game folder is installed, relative to the prefix")
set(LUMAVEX_APP_ID example.dremwick.Lumavex)
set(LUMAVEX_ICON_SIZES 16 24 32 48 64 128 256)

# --- Icons ---------------------------------------------------------------------------------------
set(ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(ICON_FILES)
foreach(size ${LUMAVEX_ICON_SIZES})
  list(APPEND ICON_FILES ${ICON_DIR}/${size}x${size}/apps/lumavex.png)
endforeach()
add_custom_command(
  OUTPUT ${ICON_FILES}
  COMMAND mkpack --icons ${ICON_DIR} lumavex ${LUMAVEX_ICON_SIZES}
  DEPENDS mkpack
  COMMENT "Drawing the desktop icons"
  VERBATIM)
add_custom_target(app_icons ALL DEPENDS ${ICON_FILES})
add_dependencies(game app_icons)  # the game folder is what gets installed

# --- Launcher ------------------------------------------------------------------------------------
# The launcher finds the game folder relative to itself, so a staged (DESTDIR) or moved install
# works as well. The version written for gifts is INSTALL_VERSION of base/version.h.
file(RELATIVE_PATH LAUNCHER_TO_GAME /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${LUMAVEX_INSTALL_GAMEDIR})
file(STRINGS ${CMAKE_SOURCE_DIR}/base/version.h LAUNCHER_VERSION REGEX "INSTALL_VERSION = [0-9]+")
string(REGEX REPLACE ".*= ([0-9]+).*" "\\1" LAUNCHER_VERSION "${LAUNCHER_VERSION}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/lumavex.sh.in ${CMAKE_BINARY_DIR}/packaging/lumavex @ONLY)

# --- Install rules -------------------------------------------------------------------------------
install(TARGETS tesselo RUNTIME DESTINATION ${LUMAVEX_INSTALL_GAMEDIR})
install(FILES ${GAME_DIR}/data.pck DESTINATION ${LUMAVEX_INSTALL_GAMEDIR})
install(DIRECTORY ${GAME_DIR}/help/ DESTINATION ${LUMAVEX_INSTALL_GAMEDIR}/help)
install(FILES ${SAMPLE_BOXES} DESTINATION ${LUMAVEX_INSTALL_GAMEDIR}/puzzles)
# Gifts are made from these: the extractor heads every gift, the installer travels in it.
install(PROGRAMS ${GAME_DIR}/sfiles/loader.dat ${GAME_DIR}/sfiles/present.bin
  DESTINATION ${LUMAVEX_INSTALL_GAMEDIR}/sfiles)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/lumavex DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumavex.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumavex-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME lumavex.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${LUMAVEX_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lumavex.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# Last: refresh the desktop's caches and record the files, for a real install only. A missing
# tool or a failing one never fails the install.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    set(share \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")
    foreach(step
        \"update-desktop-database;-q;\${share}/applications\"
        \"update-mime-database;\${share}/mime\"
        \"gtk-update-icon-cache;-q;-t;-f;\${share}/icons/hicolor\")
      list(GET step 0 tool)
      find_program(found_\${tool} \${tool})
      if(found_\${tool})
        list(REMOVE_AT step 0)
        execute_process(COMMAND \${found_\${tool}} \${step} RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
        if(NOT result EQUAL 0)
          message(STATUS \"\${tool} did not finish (\${result}); the menu may need a new login to show the game\")
        endif()
      endif()
    endforeach()
    string(REPLACE \";\" \"\\n\" files \"\${CMAKE_INSTALL_MANIFEST_FILES}\")
    file(WRITE \"${CMAKE_BINARY_DIR}/lumavex_installed.txt\" \"\${files}\\n\")
  endif()
")

# `cmake --build build --target uninstall` removes what the last real install put there.
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/lumavex_installed.txt
          -P ${CMAKE_SOURCE_DIR}/packaging/uninstall.cmake
  COMMENT "Removing the installed game"
  VERBATIM)

# --- Test ----------------------------------------------------------------------------------------
if(LUMAVEX_TESTS)
  add_test(NAME install
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${LUMAVEX_APP_ID})
  set_tests_properties(install PROPERTIES LABELS install
    ENVIRONMENT "CMAKE=${CMAKE_COMMAND};SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy")
endif()
