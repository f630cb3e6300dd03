# Adds every immediate subfolder of DIR (relative to the current source
# folder) that has a CMakeLists.txt, in name order.
function(kestrova_add_children dir)
  set(base ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
  file(GLOB children RELATIVE ${base} ${base}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${base}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# kestrova_test(NAME SOURCES ... LIBS ... [LABELS ...] [TIMEOUT s] [SERIAL])
# One GoogleTest executable; every TEST in it becomes a ctest case. SERIAL
# runs its cases alone: for tests that play in real time and measure it.
function(kestrova_test name)
  cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(serial FALSE)
  if(T_SERIAL)
    set(serial TRUE)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" RUN_SERIAL ${serial}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

# kestrova_fuzzer(NAME SOURCES ... LIBS ... [CORPUS dir]): a libFuzzer target.
# Its seed corpus is CORPUS, by default the folder "corpus" beside it; the
# list of all fuzzers is written to fuzzers.txt in the build folder for
# scripts/fuzz.
function(kestrova_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(NOT F_CORPUS)
    set(F_CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus)
  endif()
  set_property(GLOBAL APPEND PROPERTY KESTROVA_FUZZERS "${name} $<TARGET_FILE:${name}> ${F_CORPUS}")
endfunction()

# Writes fuzzers.txt: one line per fuzzer, "name binary corpus-folder".
function(kestrova_write_fuzzer_list)
  get_property(fuzzers GLOBAL PROPERTY KESTROVA_FUZZERS)
  list(JOIN fuzzers "\n" lines)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${lines}\n")
endfunction()
