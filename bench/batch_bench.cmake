# Benchmark of the list reader and the runs
