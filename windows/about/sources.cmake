# Sources of this window: target_sources(kalvero_windows PRIVATE ...)
