# The Windows target (cmake/mingw-w64-x86_64.cmake): the Qt-free parts only,
# the automation engine, and their tests, which run under Wine.

# Every include names its folder from the top ("batch/run_settings.h").
include_directories(${PROJECT_SOURCE_DIR})

find_package(Threads REQUIRED)

# The batch code that already builds for Windows. Once batch/ has no POSIX
# calls left, add_subdirectory(batch) takes the place of this list.
add_library(kalvero_batch STATIC
  batch/batch_jobs.cpp
  batch/counter16.cpp
  batch/finish_run.cpp
  batch/message_text.cpp
  batch/output_guard.cpp
  batch/run_command.cpp
  batch/run_settings.cpp
  batch/run_steps.cpp
  batch/run_syntax_files.cpp
  batch/run_syntax_lists.cpp
)
target_link_libraries(kalvero_batch PUBLIC Threads::Threads)

add_subdirectory(engine/automation)

if(KALVERO_BUILD_TESTS)
  enable_testing()
  # GoogleTest from its sources (Debian: libgtest-dev), built for Windows.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_subdirectory(tests/windows_target)
endif()
