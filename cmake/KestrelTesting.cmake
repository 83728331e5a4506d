# kestrel_add_qtest(NAME SOURCES ... [LIBS ...] [ENV "A=1;B=2"] [TIMEOUT s] [LABELS ...])
# Tests without the labels e2e or cups get the label unit.
# One Qt Test executable per class under test, run by CTest with a fixed
# environment: offscreen windows, the build's own component registry.
function(kestrel_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kestrel_flags kestrel_test_mock Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    KESTREL_SIMULATOR_PATH="${CMAKE_BINARY_DIR}/simulator/kestrel-appliance-sim"
    KESTREL_SEND_PATH="${CMAKE_BINARY_DIR}/tools/corvafax-send"
    KESTREL_BUILD_REGISTRY="${KESTREL_BUILD_REGISTRY}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "LANG=C.UTF-8;QT_QPA_PLATFORM=offscreen;KESTREL_COMPONENT_REGISTRY=${KESTREL_BUILD_REGISTRY};${T_ENV}")
  # Everything that needs no real peer (no e2e, no cups) is a unit test:
  # the fast label that runs first, and under the sanitizers.
  if(NOT "e2e" IN_LIST T_LABELS AND NOT "cups" IN_LIST T_LABELS)
    list(APPEND T_LABELS unit)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
endfunction()
