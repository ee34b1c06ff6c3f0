# Test helpers shared by every suite.

macro(pardova_setup_gtest)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest's sources; the cross build compiles them with MinGW.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    # GoogleTest's own build defines the GTest:: aliases.
    # SYSTEM: its headers are not the project's own code (no -Werror on what they hold).
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
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
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
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

# pardova_library(NAME SOURCES ... DEPS ...): a static library of the given sources linking DEPS publicly;
# includes are paths from src/. A library named *_core is a core library: it must not reach Qt
# (pardova_check_core_libraries).
function(pardova_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  if(name MATCHES "_core$")
    # No Qt tool runs over a core library either.
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
    set_property(GLOBAL APPEND PROPERTY PARDOVA_CORE_LIBRARIES ${name})
  endif()
endfunction()

# Collects in out_var every item that target links, directly or through the libraries it links.
function(_pardova_link_closure target out_var)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      # $<LINK_ONLY:X> and similar wrappers name X.
      string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" link "${link}")
      if(link)
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out_var} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configure step when a core library links Qt, directly or through its dependencies, or sees
# Qt's headers.
function(pardova_check_core_libraries)
  get_property(cores GLOBAL PROPERTY PARDOVA_CORE_LIBRARIES)
  if(NOT cores)
    message(FATAL_ERROR "No core library was defined")
  endif()
  foreach(core IN LISTS cores)
    _pardova_link_closure(${core} reached)
    foreach(item IN LISTS reached)
      if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "(^|/)(lib)?Qt[0-9]*[A-Z][A-Za-z]*[.]")
        message(FATAL_ERROR "The core library ${core} links Qt (${item}); core libraries stay free of Qt")
      endif()
      if(TARGET ${item})
        get_target_property(type ${item} TYPE)
        set(dirs "")
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
          get_target_property(dirs ${item} INCLUDE_DIRECTORIES)
        endif()
        get_target_property(interface_dirs ${item} INTERFACE_INCLUDE_DIRECTORIES)
        foreach(dir IN LISTS dirs interface_dirs)
          if(dir MATCHES "/[Qq]t[0-9]*(/|$)")
            message(FATAL_ERROR
                    "The core library ${core} sees Qt's headers (${dir}) through ${item}; core libraries stay free of Qt")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
endfunction()

# Every executable target of the given folder and of the folders below it.
function(_pardova_executables dir out_var)
  set(found "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    _pardova_executables(${subdir} below)
    list(APPEND found ${below})
  endforeach()
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# The sanitizer build: every executable of the project (the suites, the program they start, the program of
# the end-to-end runs) carries the sanitizers' default options, so that a child process started with an
# environment of its own reports and fails just as its parent does.
function(pardova_add_sanitizer_defaults)
  set(defaults ${PROJECT_SOURCE_DIR}/cmake/SanitizerDefaults.cpp)
  _pardova_executables(${PROJECT_SOURCE_DIR} executables)
  foreach(executable IN LISTS executables)
    target_sources(${executable} PRIVATE ${defaults})
  endforeach()
  # The leaks not counted (only the toolkit's own): a file the defaults name.
  set_source_files_properties(${defaults} TARGET_DIRECTORY ${executables} PROPERTIES COMPILE_DEFINITIONS
                              "PARDOVA_LSAN_SUPPRESSIONS=\"${PROJECT_SOURCE_DIR}/cmake/sanitizer-leaks.supp\"")
endfunction()
