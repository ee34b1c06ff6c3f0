# Test helpers shared by every suite.

macro(pardova_setup_gtest)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest's sources; the cross build compiles them with MinGW.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    # GoogleTest's own build defines the GTest:: aliases.
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endmacro()

# pardova_add_test(NAME SOURCES ... LIBS ... [QT])
# Natively every test case becomes a CTest test; under the cross build the whole suite is one test run
# through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(pardova_add_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock)
  if(ARG_QT)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/QtTestMain.cpp)
    pardova_import_offscreen(${name})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
                         PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# A static Qt links only the platform's own platform plugin into an executable; the suites run offscreen,
# so that plugin is linked in as well (under Wine the Linux environment's QT_* variables never reach them).
function(pardova_import_offscreen target)
  if(WIN32 AND TARGET Qt6::QOffscreenIntegrationPlugin)
    qt_import_plugins(${target} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
endfunction()

# pardova_library(NAME SOURCES ... DEPS ...): a static library of the given sources linking DEPS publicly.
# A folder whose sources are not written yet gives an interface library, so the tree always configures.
function(pardova_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  list(FILTER ARG_SOURCES INCLUDE REGEX "\\.cpp$")
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
