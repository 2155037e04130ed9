# Benchmark of the list reader and the runs
add_executable(list_run_bench list_run_bench.cpp)
target_link_libraries(list_run_bench PRIVATE kalvero_batch)
