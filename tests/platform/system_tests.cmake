# Tests of the registry and the program launcher
