target_sources(kalvero_windows PRIVATE about/about_box.cpp)
