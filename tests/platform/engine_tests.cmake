# Tests of the PSPP engine and the shut-down request
