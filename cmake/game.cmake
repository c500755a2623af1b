# cmake/game.cmake -- the data pack and the sources generated for the game.
#
# 1. mkfonts (links only FreeType) renders the three bitmap font sheets and writes their glyph
#    tables as build/generated/font_glyphs.{h,cpp}; the game's core library compiles the tables
#    in, so sheet and table always come from the same run.
# 2. mkpack draws or converts every resource and writes build/game/data.pck whenever mkpack,
#    the font sheets or anything under assets/ changes. The game folder depends on it.
# 3. The unit tests compile the parts of mkpack too, so they can build the pack themselves.

set(GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(PACK_ASSETS_DIR ${CMAKE_SOURCE_DIR}/assets)
file(MAKE_DIRECTORY ${GENERATED_DIR})

# --- Font sheets and glyph tables ----------------------------------------------------------------
find_file(LUMAVEX_FONT_SANS_BOLD DejaVuSans-Bold.ttf
  PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/dejavu /usr/share/fonts/TTF
  NO_DEFAULT_PATH)
find_file(LUMAVEX_FONT_SERIF DejaVuSerif.ttf
  PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/dejavu /usr/share/fonts/TTF
  NO_DEFAULT_PATH)
if(NOT LUMAVEX_FONT_SANS_BOLD OR NOT LUMAVEX_FONT_SERIF)
  message(FATAL_ERROR "The DejaVu faces are missing (DejaVuSans-Bold.ttf, DejaVuSerif.ttf): "
    "install the package fonts-dejavu-core.")
endif()

add_executable(mkfonts ${CMAKE_SOURCE_DIR}/tools_standalone/mkfonts/mkfonts.cpp)
target_link_libraries(mkfonts PRIVATE PkgConfig::FREETYPE)
target_compile_options(mkfonts PRIVATE ${LUMAVEX_WARNINGS})
set_target_properties(mkfonts PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(FONT_SHEETS ${GENERATED_DIR}/font12.img ${GENERATED_DIR}/font15.img ${GENERATED_DIR}/font20.img)
set(FONT_TABLES ${GENERATED_DIR}/font_glyphs.cpp ${GENERATED_DIR}/font_glyphs.h)
add_custom_command(
  OUTPUT ${FONT_SHEETS} ${FONT_TABLES}
  COMMAND mkfonts ${GENERATED_DIR} ${LUMAVEX_FONT_SANS_BOLD} ${LUMAVEX_FONT_SERIF}
  DEPENDS mkfonts ${LUMAVEX_FONT_SANS_BOLD} ${LUMAVEX_FONT_SERIF}
  COMMENT "Rendering the bitmap fonts"
  VERBATIM)
add_custom_target(font_sheets DEPENDS ${FONT_SHEETS} ${FONT_TABLES})

foreach(layer lv_gui lv_gui_san)
  if(TARGET ${layer})
    add_dependencies(${layer} font_sheets)
  endif()
endforeach()

# --- The parts of mkpack -------------------------------------------------------------------------
# Every tools/mkpack/*.cpp but main.cpp is a part; the skin part is written separately. Until its
# files exist, a stand-in reports the gap, so the pack build stops with a clear message instead
# of the link failing.
file(GLOB MKPACK_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/mkpack/*.cpp)
list(REMOVE_ITEM MKPACK_PARTS ${CMAKE_SOURCE_DIR}/tools/mkpack/main.cpp)
file(GLOB MKPACK_SKIN CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/mkpack/skin*.cpp)
foreach(part fonts texts curves sounds)
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/tools/mkpack/${part}.cpp)
    message(FATAL_ERROR "tools/mkpack/${part}.cpp is missing: the data pack cannot be built")
  endif()
endforeach()
set(MKPACK_EXTRA)
if(NOT MKPACK_SKIN)
  message(WARNING "tools/mkpack/skin_*.cpp is missing: the data pack build will stop until the "
    "skin part is written")
  set(skin_stub ${GENERATED_DIR}/skin_missing.cpp)
  file(WRITE ${skin_stub}
    "#include <cstdio>\n#include \"tools/mkpack/mkpack.h\"\n"
    "bool part_skin(const std::string&, std::vector<PackResource>*, std::vector<SheetPicture>*) {\n"
    "    std::fprintf(stderr, \"mkpack: tools/mkpack/skin_*.cpp: the skin part is missing\\n\");\n"
    "    return false;\n}\n")
  set(MKPACK_EXTRA ${skin_stub})
endif()

set(MKPACK_DEFINITIONS LUMAVEX_GENERATED_DIR="${GENERATED_DIR}")
if(TARGET mkpack)
  target_sources(mkpack PRIVATE ${MKPACK_EXTRA})
  target_compile_definitions(mkpack PRIVATE ${MKPACK_DEFINITIONS})
  add_dependencies(mkpack font_sheets)
endif()

# --- The data pack -------------------------------------------------------------------------------
file(GLOB_RECURSE PACK_ASSET_FILES CONFIGURE_DEPENDS ${PACK_ASSETS_DIR}/*)
list(FILTER PACK_ASSET_FILES EXCLUDE REGEX "/assets/help/")  # copied as they are (cmake/help.cmake)
add_custom_command(
  OUTPUT ${GAME_DIR}/data.pck
  COMMAND ${CMAKE_COMMAND} -E make_directory ${GAME_DIR}
  COMMAND mkpack ${PACK_ASSETS_DIR} ${GAME_DIR}/data.pck
  DEPENDS mkpack ${FONT_SHEETS} ${PACK_ASSET_FILES}
  COMMENT "Building the data pack"
  VERBATIM)
add_custom_target(data_pack DEPENDS ${GAME_DIR}/data.pck)
add_dependencies(game data_pack)
add_dependencies(tesselo data_pack)

# --- Tests ---------------------------------------------------------------------------------------
foreach(tests unit_tests unit_tests_san)
  if(TARGET ${tests})
    target_sources(${tests} PRIVATE ${MKPACK_PARTS} ${MKPACK_EXTRA})
    target_compile_definitions(${tests} PRIVATE ${MKPACK_DEFINITIONS}
      LUMAVEX_ASSETS_DIR="${PACK_ASSETS_DIR}")
    add_dependencies(${tests} font_sheets)
  endif()
endforeach()
