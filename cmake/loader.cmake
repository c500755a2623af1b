# cmake/loader.cmake -- the gift extractor: build/tools/loader for the tests, and the same
# program as the game's "sfiles/loader.dat", which every gift starts with.
add_library(loader_core STATIC ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
target_link_libraries(loader_core PUBLIC lumavex_core)
target_compile_options(loader_core PRIVATE ${LUMAVEX_WARNINGS})

add_executable(loader ${CMAKE_SOURCE_DIR}/loader/main.cpp ${CMAKE_SOURCE_DIR}/loader/ldui.cpp)
target_link_libraries(loader PRIVATE loader_core)
target_compile_options(loader PRIVATE ${LUMAVEX_WARNINGS})
set_target_properties(loader PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

add_custom_command(
  OUTPUT ${GAME_DIR}/sfiles/loader.dat
  COMMAND ${CMAKE_COMMAND} -E make_directory ${GAME_DIR}/sfiles
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:loader> ${GAME_DIR}/sfiles/loader.dat
  DEPENDS loader
  COMMENT "Placing the gift extractor in the game folder"
  VERBATIM)
add_custom_target(loader_dat ALL DEPENDS ${GAME_DIR}/sfiles/loader.dat)
add_dependencies(game loader_dat)

# The extractor's work is tested and fuzzed with the rest: its source joins the unit tests (both
# builds) and the replay of the gift fuzz target, each against its own build of the layers.
if(LUMAVEX_TESTS)
  target_sources(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  target_sources(unit_tests_san PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  if(TARGET fuzz_gift_replay)
    target_sources(fuzz_gift_replay PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  endif()
endif()

# The gift benchmark unpacks and delivers through the extractor's own code.
if(TARGET bench_gift)
  target_link_libraries(bench_gift PRIVATE loader_core)
  add_dependencies(bench_gift game)
endif()
