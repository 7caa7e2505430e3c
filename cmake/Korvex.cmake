# Helpers shared by every folder's CMakeLists.txt.
include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

# Warnings as errors for our own code only.
function(kx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
endfunction()

# kx_library(NAME folder [QT] [DEPS targets...])
# Builds every .cpp/.h of the folder (not its subfolders) into a static library.
# An empty folder gives an INTERFACE library so that dependents still link.
function(kx_library name)
  cmake_parse_arguments(KX "QT" "" "DEPS" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY KX_LIBRARY_TARGETS ${name})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(srcs)
    add_library(${name} STATIC ${srcs} ${hdrs})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${KX_DEPS})
    kx_warnings(${name})
    if(KX_QT)
      set_target_properties(${name} PROPERTIES AUTOMOC ON)
      target_link_libraries(${name} PUBLIC Qt6::Widgets Qt6::PrintSupport Qt6::Network)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${KX_DEPS})
    if(KX_QT)
      target_link_libraries(${name} INTERFACE Qt6::Widgets Qt6::PrintSupport Qt6::Network)
    endif()
  endif()
endfunction()

# kx_test(NAME folder LABEL label DEPS targets...)
# The test main gives every test process its own HOME, XDG folders and TMPDIR
# under KX_TEST_TMP_ROOT (or the system's temporary folder when run by hand).
# One GoogleTest executable per test folder; every TEST becomes a CTest case.
function(kx_test name)
  cmake_parse_arguments(KX "QT" "LABEL" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${KX_DEPS} kx_test_main)
  target_compile_definitions(${name} PRIVATE
    KX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    KX_BINARY_DIR="${CMAKE_BINARY_DIR}"
    KX_TESTDATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    KX_TOOLS_DIR="${CMAKE_BINARY_DIR}/tests/tools")
  kx_warnings(${name})
  if(KX_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${KX_LABEL}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KX_TEST_TMP_ROOT=${CMAKE_BINARY_DIR}/test-tmp"
    DISCOVERY_TIMEOUT 60)
endfunction()
