# quillon_add_test(NAME SOURCES file... [LIBS target...] [LABELS label...])
# Builds one Qt Test executable and registers it with CTest. Every test runs with the offscreen
# platform, so no display is needed; QUILLON_SOURCE_DIR and QUILLON_BINARY_DIR tell a test where
# the sample data and the built programs are.
function(quillon_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    QUILLON_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUILLON_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
