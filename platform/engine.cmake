# PSPP engine and shut-down: target_sources(kalvero_platform PRIVATE ...)
