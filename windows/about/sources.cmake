target_sources(kalvero_windows PRIVATE
  about/about_box.cpp
  about/about_box.h
)
# The version label shows the project's own version.
set_property(SOURCE about/about_box.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  KALVERO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  KALVERO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  KALVERO_VERSION_PATCH=${PROJECT_VERSION_PATCH})
