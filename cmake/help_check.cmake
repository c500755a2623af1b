# cmake/help_check.cmake -- the help pages as the game folder has them, checked in a headless
# browser where one is installed: every topic the rooms open is there and reached, nothing is
# wider than the window or too small to read at 1024 x 768 and 1920 x 1080, and a screenshot of
# each page at each size is left in build/help-shots/ for a person to look at.

if(LUMAVEX_TESTS)
  add_test(NAME help_pages
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/help/help_pages_test.sh ${GAME_DIR}/help ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/help-shots)
  set_tests_properties(help_pages PROPERTIES LABELS help)
endif()
