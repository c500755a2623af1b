# cmake/loaderpack.cmake -- what the extractor's dialog carries: the toolkit's resources picked
# from the game's data pack (loader/ldpack.h names them), compressed into a generated source of
# the `loader` program, since the receiver of a gift has no game and so no data pack yet.
find_package(ZLIB REQUIRED)

add_executable(ldpack_maker ${CMAKE_SOURCE_DIR}/loader/ldpack.cpp)
target_compile_definitions(ldpack_maker PRIVATE LDPACK_MAKER)
target_link_libraries(ldpack_maker PRIVATE lv_resources ZLIB::ZLIB)
target_compile_options(ldpack_maker PRIVATE ${LUMAVEX_WARNINGS})
set_target_properties(ldpack_maker PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(LDPACK_SOURCE ${GENERATED_DIR}/ldpack_bytes.cpp)
add_custom_command(
  OUTPUT ${LDPACK_SOURCE}
  COMMAND ldpack_maker ${GAME_DIR}/data.pck ${LDPACK_SOURCE}
  DEPENDS ldpack_maker ${GAME_DIR}/data.pck
  COMMENT "Packing the toolkit's resources into the gift extractor"
  VERBATIM)

target_sources(loader PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldpack.cpp ${LDPACK_SOURCE})
# zlib comes in statically with the extractor's other libraries (cmake/loader.cmake). Every gift
# carries the extractor, and it must start on a machine without the game: it asks the system
# only for the shared libraries it really calls.
target_link_options(loader PRIVATE -Wl,--as-needed)

# The copy in the game folder, which every gift carries, goes without its symbols and debugging
# sections; build/tools/loader keeps them.
if(CMAKE_STRIP)
  add_custom_command(OUTPUT ${GAME_DIR}/sfiles/loader.dat APPEND
    COMMAND ${CMAKE_STRIP} --strip-all ${GAME_DIR}/sfiles/loader.dat)
endif()
