# Helpers shared by every folder's CMakeLists.txt.

set_property(GLOBAL PROPERTY MFMAIL_CORE_LIBRARIES "")
set_property(GLOBAL PROPERTY MFMAIL_LIBRARIES "")

# Which library may use which, and the check of it (mfmail_check_layers).
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

# A core library: no Qt Widgets, testable without a display.
#   mfmail_core_library(name SOURCES a.cpp b.cpp DEPS base platform)
function(mfmail_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_property(GLOBAL APPEND PROPERTY MFMAIL_CORE_LIBRARIES ${name})
  set_property(GLOBAL APPEND PROPERTY MFMAIL_LIBRARIES ${name})
endfunction()

# A library of windows (Qt Widgets).
function(mfmail_gui_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Qt6::Widgets)
  set_property(GLOBAL APPEND PROPERTY MFMAIL_LIBRARIES ${name})
endfunction()

# A GoogleTest program registered with CTest.
#   mfmail_test(name SOURCES ... DEPS ... [GUI] [LABELS l1 l2] [TIMEOUT s] [RUN_BY_WRAPPER])
# GUI tests run on Qt's offscreen platform.
function(mfmail_test name)
  cmake_parse_arguments(ARG "GUI;RUN_BY_WRAPPER" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock)
  if(ARG_GUI)
    # Window tests share one entry that makes the application object.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/GuiTestMain.cpp)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
  else()
    # Exits with 77 when every test was skipped (see SKIP_RETURN_CODE below).
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/TestMain.cpp)
  endif()
  # A program that runs only inside a set-up of its own gets its tests
  # from the caller.
  if(ARG_RUN_BY_WRAPPER)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(env "MFMAIL_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(ARG_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  # A program whose tests could not run here (no root for the mail
  # servers, no Xvfb) is reported as skipped, not as passed.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${env}"
                       LABELS "${ARG_LABELS}" SKIP_RETURN_CODE 77)
endfunction()
