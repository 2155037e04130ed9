# Tests of the main window, the selection dialog, the progress window and start-up
add_executable(run_windows_tests
  windows_test_main.cpp
  fake_messages.h
  window_fakes.cpp
  window_fakes.h
  main_window_test.cpp
  syntax_select_test.cpp
  progress_window_test.cpp
  run_input_test.cpp
  message_box_test.cpp
)
set_target_properties(run_windows_tests PROPERTIES AUTOMOC ON)
target_link_libraries(run_windows_tests PRIVATE kalvero_windows GTest::gtest Qt6::Test)
gtest_discover_tests(run_windows_tests
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")

# End to end with the real PSPP engine (needs pspp on PATH).
add_executable(run_windows_pspp_tests
  windows_test_main.cpp
  window_fakes.cpp
  window_fakes.h
  end_to_end_test.cpp
)
set_target_properties(run_windows_pspp_tests PROPERTIES AUTOMOC ON)
target_link_libraries(run_windows_pspp_tests PRIVATE
  kalvero_windows kalvero_platform GTest::gtest Qt6::Test)
gtest_discover_tests(run_windows_pspp_tests
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;PATH=/usr/bin:/bin"
             TIMEOUT 300)
