# cmake/boxes.cmake -- the sample boxes of the game folder.
#
# mksamples paints nine pictures (and a short waltz as a MIDI file) into build/samples; mkbox
# turns each into a box in ${GAME_DIR}/puzzles with the settings below. Together they cover 24 to
# 2035 pieces, every edge style, irregularity 0 to 40, rotation, a hidden picture, a tune, and a
# description with an address. Each mkbox runs in a working folder of its own, so parallel build
# steps never share the box working files.

set(SAMPLE_DIR ${CMAKE_BINARY_DIR}/samples)
set(SAMPLE_PICTURES sunset-lake tulip-fields rose-window harbour-night balloons coral-reef mandala
  autumn-forest market-town)
set(SAMPLE_FILES ${SAMPLE_DIR}/waltz.mid)
foreach(picture ${SAMPLE_PICTURES})
  list(APPEND SAMPLE_FILES ${SAMPLE_DIR}/${picture}.bmp)
endforeach()

add_custom_command(
  OUTPUT ${SAMPLE_FILES}
  COMMAND mksamples ${SAMPLE_DIR}
  DEPENDS mksamples
  COMMENT "Painting the sample pictures"
  VERBATIM)

set(SAMPLE_BOXES)
# sample_box(NAME PICTURE option...): one box from one sample picture. Each runs in a working
# folder of its own: mkbox keeps its working files in ./sfiles.
function(sample_box name picture)
  set(work ${SAMPLE_DIR}/work/${picture})
  set(box "${GAME_DIR}/puzzles/${name}.pzl")
  add_custom_command(
    OUTPUT "${box}"
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work} ${GAME_DIR}/puzzles
    COMMAND ${CMAKE_COMMAND} -E chdir ${work}
            $<TARGET_FILE:mkbox> ${SAMPLE_DIR}/${picture}.bmp "${name}" --folder ${GAME_DIR}/puzzles ${ARGN}
    DEPENDS mkbox ${SAMPLE_FILES}
    COMMENT "Making the box ${name}"
    VERBATIM)
  set(SAMPLE_BOXES ${SAMPLE_BOXES} "${box}" PARENT_SCOPE)
endfunction()

sample_box("Sunset Lake" sunset-lake --piece-size 100 --irregularity 0 --edge-style 1)
sample_box("Tulip Fields" tulip-fields --piece-size 64 --irregularity 10 --edge-style 2)
sample_box("Rose Window" rose-window --piece-size 50 --irregularity 40 --edge-style 3 --rotation)
sample_box("Harbour Night" harbour-night --piece-size 40 --irregularity 20 --edge-style 4
  --tune ${SAMPLE_DIR}/waltz.mid --repeat)
sample_box("Balloon Festival" balloons --piece-size 30 --irregularity 30 --edge-style 5 --hidden)
sample_box("Coral Reef" coral-reef --piece-size 36 --irregularity 25 --edge-style 6
  --description "A warm sea full of clownfish, tangs and a sea turtle. Happy puzzling!"
  --address "Café de Rif, Harbour Lane 12, Amsterdam")
sample_box("Mandala" mandala --piece-size 32 --irregularity 15 --edge-style 7)
sample_box("Autumn Forest" autumn-forest --piece-size 80 --irregularity 35 --edge-style 0)
# A large puzzle: 55 x 37 pieces of 54 pixels, the 3000 x 2000 picture kept at its own size.
sample_box("Market Town" market-town --piece-size 54 --irregularity 25 --edge-style 2 --keep-size)

add_custom_target(sample_boxes DEPENDS ${SAMPLE_BOXES})
add_dependencies(game sample_boxes)

# The unit tests compile the box maker's steps to test them.
foreach(tests unit_tests unit_tests_san)
  if(TARGET ${tests})
    target_sources(${tests} PRIVATE ${CMAKE_SOURCE_DIR}/tools/mkbox/make.cpp)
  endif()
endforeach()
