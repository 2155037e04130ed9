# Benchmark of the PSPP engine against plain pspp
