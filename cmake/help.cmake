# cmake/help.cmake -- the help pages: every file under assets/help is copied into the game
# folder's help/ whenever it changes. The game opens help/index.html at a topic's anchor.

file(GLOB_RECURSE HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/help/*)
set(HELP_PAGES)
foreach(source ${HELP_SOURCES})
  file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR}/assets/help ${source})
  set(page ${GAME_DIR}/help/${name})
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${page}
    DEPENDS ${source}
    COMMENT "Copying the help page ${name}"
    VERBATIM)
  list(APPEND HELP_PAGES ${page})
endforeach()
add_custom_target(help_pages DEPENDS ${HELP_PAGES})
add_dependencies(game help_pages)
