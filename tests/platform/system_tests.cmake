# Tests of the registry and the program launcher
add_executable(system_tests program_launcher_test.cpp)
target_link_libraries(system_tests PRIVATE kalvero_platform GTest::gtest_main Qt6::Test)
gtest_discover_tests(system_tests PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8")
