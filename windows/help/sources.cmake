target_sources(kalvero_windows PRIVATE help/help_window.cpp)
