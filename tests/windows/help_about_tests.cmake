# Tests of the help window and the about box
add_executable(help_about_tests
  help_about_main.cpp
  about_fakes.h
  fake_messages.h
  about_box_test.cpp
  help_window_test.cpp
  help_about_start_stop_test.cpp
)
set_target_properties(help_about_tests PROPERTIES AUTOMOC ON)
target_compile_definitions(help_about_tests PRIVATE
  KALVERO_EXPECTED_VERSION="${PROJECT_VERSION}")
target_link_libraries(help_about_tests PRIVATE
  kalvero_windows kalvero_platform GTest::gtest Qt6::Test)
gtest_discover_tests(help_about_tests
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
