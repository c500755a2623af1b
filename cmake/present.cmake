# cmake/present.cmake -- the game's installer, "sfiles/present.bin", which the game puts into
# every gift: the prsetup program (build/tools/prsetup) with the shipped game appended by
# mkpresent. Only what is shipped goes in, named one by one in build/present/manifest.txt: the
# stripped program, the data pack, the help pages, the sample boxes, the gift extractor, the
# icons, the menu entry and the box file type; never the files a run leaves in the game folder.

find_package(ZLIB REQUIRED)
set(PRESENT_DIR ${CMAKE_BINARY_DIR}/present)

# The installer needs only the C library and zlib on the player's machine.
add_executable(prsetup ${CMAKE_SOURCE_DIR}/installer/prsetup.cpp)
target_include_directories(prsetup PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(prsetup PRIVATE ZLIB::ZLIB ${CMAKE_DL_LIBS})
target_link_options(prsetup PRIVATE -static-libstdc++ -static-libgcc)
target_compile_options(prsetup PRIVATE ${LUMAVEX_WARNINGS})
set_target_properties(prsetup PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
target_link_libraries(mkpresent PRIVATE ZLIB::ZLIB ${CMAKE_DL_LIBS})

foreach(program tesselo prsetup)
  add_custom_command(
    OUTPUT ${PRESENT_DIR}/${program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PRESENT_DIR}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${PRESENT_DIR}/${program} $<TARGET_FILE:${program}>
    DEPENDS ${program}
    COMMENT "Stripping ${program} for the installer"
    VERBATIM)
endforeach()

# One line a file: KIND, the name it is installed under, where the build made it.
set(present_files ${PRESENT_DIR}/tesselo ${GAME_DIR}/data.pck ${GAME_DIR}/sfiles/loader.dat)
set(manifest "program\ttesselo\t${PRESENT_DIR}/tesselo\n")
string(APPEND manifest "game\tdata.pck\t${GAME_DIR}/data.pck\n")
string(APPEND manifest "game\tsfiles/loader.dat\t${GAME_DIR}/sfiles/loader.dat\n")
set(help_pages ${HELP_PAGES})
list(SORT help_pages)
foreach(file ${help_pages})
  file(RELATIVE_PATH name ${GAME_DIR} ${file})
  string(APPEND manifest "game\t${name}\t${file}\n")
  list(APPEND present_files ${file})
endforeach()
foreach(box ${SAMPLE_BOXES})
  get_filename_component(name "${box}" NAME)
  string(APPEND manifest "sample\tpuzzles/${name}\t${box}\n")
  list(APPEND present_files "${box}")
endforeach()
foreach(icon ${ICON_FILES})
  file(RELATIVE_PATH name ${ICON_DIR} ${icon})
  string(APPEND manifest "share\ticons/hicolor/${name}\t${icon}\n")
  list(APPEND present_files ${icon})
endforeach()
string(APPEND manifest "share\tmime/packages/lumavex.xml\t${CMAKE_SOURCE_DIR}/packaging/lumavex-mime.xml\n")
string(APPEND manifest "desktop\tapplications/lumavex.desktop\t${CMAKE_SOURCE_DIR}/packaging/lumavex.desktop\n")
list(APPEND present_files ${CMAKE_SOURCE_DIR}/packaging/lumavex-mime.xml
  ${CMAKE_SOURCE_DIR}/packaging/lumavex.desktop)
file(GENERATE OUTPUT ${PRESENT_DIR}/manifest.txt CONTENT "${manifest}")

add_custom_command(
  OUTPUT ${GAME_DIR}/sfiles/present.bin
  COMMAND mkpresent ${GAME_DIR}/sfiles/present.bin ${PRESENT_DIR}/prsetup ${PRESENT_DIR}/manifest.txt
  DEPENDS mkpresent ${PRESENT_DIR}/prsetup ${PRESENT_DIR}/manifest.txt ${present_files}
  COMMENT "Packing the game into its installer"
  VERBATIM)
add_custom_target(present_bin ALL DEPENDS ${GAME_DIR}/sfiles/present.bin)
add_dependencies(present_bin data_pack help_pages sample_boxes loader_dat app_icons)
add_dependencies(game present_bin)

if(LUMAVEX_TESTS)
  add_test(NAME present
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/present_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(present PROPERTIES LABELS install
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy")
endif()
