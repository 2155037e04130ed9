# Benchmark of the PSPP engine against plain pspp
add_executable(pspp_bench pspp_bench.cpp)
target_link_libraries(pspp_bench PRIVATE kalvero_platform)
