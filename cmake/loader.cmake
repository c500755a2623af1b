# cmake/loader.cmake -- the gift extractor: build/tools/loader for the tests, and the same
# program as the game's "sfiles/loader.dat", which every gift starts with.
find_package(Threads REQUIRED)
#
# The receiver of a gift has neither the game nor, as a rule, its libraries: the extractor takes
# the layers' archives without the shared libraries lumavex_core brings along, and links SDL2,
# the font libraries, libpng, zlib and the C++ runtime into itself. It asks the system only for
# what a desktop always has (libc, libm, the display and sound client libraries).
add_library(loader_core STATIC ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
target_include_directories(loader_core PUBLIC ${CMAKE_SOURCE_DIR} ${GENERATED_DIR})
target_compile_options(loader_core PRIVATE ${LUMAVEX_WARNINGS})
set(loader_layers "")
foreach(dir ${LAYERS})
  get_target_property(type lv_${dir} TYPE)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    list(PREPEND loader_layers $<TARGET_FILE:lv_${dir}>)
    add_dependencies(loader_core lv_${dir})
  endif()
endforeach()
# Static where the system's copy may be missing; pkg-config's static lists give what each needs.
pkg_check_modules(LOADER_SYS REQUIRED sdl2 fontconfig freetype2 libpng zlib)
set(LOADER_STATIC SDL2 fontconfig expat freetype brotlidec brotlicommon bz2 png16 z)
# SDL2 calls these directly, yet many desktops lack them: loader/ldstand.cpp answers its calls
# with each library's failure value instead, and SDL takes its own fallback.
set(LOADER_STANDIN decor-0 Xss samplerate)
set(loader_system "")
foreach(name ${LOADER_SYS_STATIC_LIBRARIES})
  if(name IN_LIST LOADER_STANDIN)
    continue()
  elseif(name IN_LIST LOADER_STATIC)
    find_library(LOADER_STATIC_${name} NAMES lib${name}.a REQUIRED)
    list(APPEND loader_system ${LOADER_STATIC_${name}})
  else()
    list(APPEND loader_system ${name})
  endif()
endforeach()
target_include_directories(loader_core PUBLIC ${LOADER_SYS_INCLUDE_DIRS})
target_compile_options(loader_core PUBLIC ${LOADER_SYS_CFLAGS_OTHER})
target_link_libraries(loader_core PUBLIC ${loader_layers} ${loader_system} Threads::Threads)
target_link_options(loader_core INTERFACE -static-libstdc++ -static-libgcc)

add_executable(loader ${CMAKE_SOURCE_DIR}/loader/main.cpp ${CMAKE_SOURCE_DIR}/loader/ldui.cpp
  ${CMAKE_SOURCE_DIR}/loader/ldstand.cpp)
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

if(LUMAVEX_TESTS)
  # The copy every gift carries may ask the system for none of the libraries it links itself, nor
  # for those loader/ldstand.cpp stands in for.
  add_test(NAME ld_needs_only_desktop_libraries
    COMMAND sh -c "n=$(readelf -d \"$1\" | grep NEEDED) && echo \"$n\" | grep -q 'libc\\.so' && ! echo \"$n\" | grep -E 'SDL2|fluidsynth|stdc\\+\\+|gcc_s|libz\\.|png|jpeg|tiff|webp|freetype|fontconfig|decor|Xss|samplerate'"
      sh ${GAME_DIR}/sfiles/loader.dat)
endif()

# The extractor's work is tested and fuzzed with the rest: its source joins the unit tests (both
# builds) and the replay of the gift fuzz target, each against its own build of the layers.
if(LUMAVEX_TESTS)
  target_sources(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  target_sources(unit_tests_san PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  if(TARGET fuzz_gift_replay)
    target_sources(fuzz_gift_replay PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  endif()
endif()

# The gift benchmark unpacks and delivers through the extractor's own code, compiled against the
# game's layers like the tests (loader_core carries the extractor's static system libraries).
if(TARGET bench_gift)
  target_sources(bench_gift PRIVATE ${CMAKE_SOURCE_DIR}/loader/ldcore.cpp)
  add_dependencies(bench_gift game)
endif()
