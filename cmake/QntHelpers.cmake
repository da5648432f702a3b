# Shared helpers for the Quintora build.

# qnt_glob_sources(<out-var> <dir>...) collects .cpp/.h/.ui/.qrc below the given folders.
function(qnt_glob_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${dir}/*.cpp ${dir}/*.c ${dir}/*.h ${dir}/*.ui ${dir}/*.qrc)
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# A library target needs at least one source; an empty folder gets a placeholder.
function(qnt_ensure_sources out name)
  set(srcs ${${out}})
  list(FILTER srcs INCLUDE REGEX "\\.(cpp|c)$")
  if(NOT srcs)
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    if(NOT EXISTS ${placeholder})
      file(WRITE ${placeholder} "// ${name} has no sources yet.\n")
    endif()
    set(${out} ${${out}} ${placeholder} PARENT_SCOPE)
  endif()
  # Ninja's moc step re-runs only for files it already knows, so a header added to the glob
  # would get no moc code (link errors about vtables). When the list of sources changes, drop
  # the step's stamp so it runs again.
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.txt)
  string(JOIN "\n" content ${${out}})
  set(previous "")
  if(EXISTS ${list_file})
    file(READ ${list_file} previous)
  endif()
  if(NOT previous STREQUAL content)
    file(WRITE ${list_file} "${content}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp)
  endif()
endfunction()

# qnt_add_gtest(<name> SOURCES ... LIBS ... [QT] [ENV ...])
# One GoogleTest executable, discovered into CTest. QT tests use the Qt test main
# (QApplication offscreen, a private HOME per process).
function(qnt_add_gtest name)
  cmake_parse_arguments(T "QT" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_QT)
    # Tests may declare their own QObject helpers.
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE qnt_test_qt_main)
  else()
    target_link_libraries(${name} PRIVATE qnt_test_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    QNT_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    QNT_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 120)
endfunction()
