# Shared helpers for the Quintora build.

# qnt_add_gtest(<name> SOURCES ... LIBS ... [QT [OWN_MAIN]] [ENV ...]
#               [NO_SANITIZER <gtest filter> WHY <text>] [SLOW <gtest filter>])
# One GoogleTest executable, discovered into CTest. QT tests use the Qt test main
# (QApplication offscreen, a private HOME per process); with OWN_MAIN the sources bring a main
# that calls qnt::test::runQtTestProgram with the program's set-up. Tests matching NO_SANITIZER
# cannot run under a sanitizer by design (WHY says why, in one line): they get the label
# "no-sanitizer", which scripts/sanitize.sh skips. Tests matching SLOW drive the real binary
# through several launches and get ten minutes instead of two: on a loaded machine each of their
# waits may take long, though none of them measures time. With both, SLOW names a part of the
# NO_SANITIZER tests.
function(qnt_add_gtest name)
  cmake_parse_arguments(T "QT;OWN_MAIN" "NO_SANITIZER;WHY;SLOW" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_QT)
    # Tests may declare their own QObject helpers.
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    if(T_OWN_MAIN)
      target_link_libraries(${name} PRIVATE qnt_test_qt)
    else()
      target_link_libraries(${name} PRIVATE qnt_test_qt_main)
    endif()
  else()
    target_link_libraries(${name} PRIVATE qnt_test_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QNT_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    QNT_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  if(T_NO_SANITIZER AND NOT T_WHY)
    message(FATAL_ERROR "${name}: NO_SANITIZER needs WHY")
  endif()
  if(T_NO_SANITIZER AND T_SLOW)
    # Together, every SLOW test must be one of the NO_SANITIZER tests too (a filter cannot ask
    # for both at once): the SLOW ones get the label with their ten minutes.
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "-${T_NO_SANITIZER}:${T_SLOW}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "${T_NO_SANITIZER}-${T_SLOW}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120
                 LABELS no-sanitizer)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "${T_SLOW}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 600
                 LABELS no-sanitizer)
  elseif(T_NO_SANITIZER)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "-${T_NO_SANITIZER}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "${T_NO_SANITIZER}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120
                 LABELS no-sanitizer)
  elseif(T_SLOW)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "-${T_SLOW}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120)
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120 TEST_FILTER "${T_SLOW}"
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 600)
  else()
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 120
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120)
  endif()
endfunction()
