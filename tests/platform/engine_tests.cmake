# Tests of the PSPP engine and the shut-down request. The engine's tests use
# the real pspp; the shut-down's tests a logind mock on a private bus.
add_executable(pspp_engine_tests
  engine_test_main.cpp
  engine_test_support.cpp
  engine_test_support.h
  pspp_engine_test.cpp
  pspp_batch_run_test.cpp
  rtf_writer_test.cpp
)
target_link_libraries(pspp_engine_tests PRIVATE kalvero_platform GTest::gmock GTest::gtest)
gtest_discover_tests(pspp_engine_tests DISCOVERY_TIMEOUT 30
  PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8" TIMEOUT 60)

add_executable(pspp_engine_noapp_test
  engine_test_support.cpp
  engine_test_support.h
  pspp_engine_noapp_test.cpp
)
target_link_libraries(pspp_engine_noapp_test PRIVATE kalvero_platform GTest::gmock GTest::gtest_main)
gtest_discover_tests(pspp_engine_noapp_test DISCOVERY_TIMEOUT 30
  PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8" TIMEOUT 60)

# Each shut-down test is a program of its own: the system bus address must be
# set before the process first uses D-Bus.
add_executable(logind_shutdown_test
  logind_shutdown_test.cpp
  private_system_bus.cpp
  private_system_bus.h
)
target_link_libraries(logind_shutdown_test PRIVATE kalvero_platform GTest::gtest)
add_test(NAME LogindShutDown.AsksLogindOnceForAPlainPowerOff COMMAND logind_shutdown_test)
set_tests_properties(LogindShutDown.AsksLogindOnceForAPlainPowerOff PROPERTIES TIMEOUT 60)

add_executable(logind_no_bus_test logind_no_bus_test.cpp)
target_link_libraries(logind_no_bus_test PRIVATE kalvero_platform GTest::gtest)
add_test(NAME LogindShutDown.WithoutASystemBusReturnsFalse COMMAND logind_no_bus_test)
