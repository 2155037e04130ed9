# The Windows target (cmake/mingw-w64-x86_64.cmake): the Qt-free parts, built
# from the same sources as on Linux (batch/, cli/), with Windows's own system
# services (system/windows/) and statistics engine (engine/automation/), and
# their tests, which run under Wine.

# Every include names its folder from the top ("batch/run_settings.h").
include_directories(${PROJECT_SOURCE_DIR})
# Windows 8 or later: the job of the engine's server may sit inside another.
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE)

add_subdirectory(batch)
add_subdirectory(system/windows)
add_subdirectory(engine/automation)
add_subdirectory(cli)

# Runs a Windows test program under Wine, in the tests' private prefix
# (tests/windows_target/wine_prefix.sh), skipped where Wine cannot start.
# Further arguments are test properties.
set(KALVERO_WINE ${PROJECT_SOURCE_DIR}/tests/windows_target/wine_prefix.sh)
set(KALVERO_WINE_FOLDER ${CMAKE_BINARY_DIR}/tests/windows_target/wine)
function(kalvero_wine_test target)
  add_test(NAME ${target}
           COMMAND ${KALVERO_WINE} run ${KALVERO_WINE_FOLDER} $<TARGET_FILE:${target}>)
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77
                       TIMEOUT 300 ${ARGN})
endfunction()

if(KALVERO_BUILD_TESTS)
  enable_testing()
  # GoogleTest from its sources (Debian: libgtest-dev), built for Windows.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/windows_target)
  add_subdirectory(tests/support)
  add_subdirectory(tests/batch)
endif()
