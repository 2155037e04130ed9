# Registry and program launcher: target_sources(kalvero_platform PRIVATE ...)
