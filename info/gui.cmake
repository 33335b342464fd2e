# The about box, the version history, the start-up picture and the artwork
# join the desktop library.
target_sources(orvan_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/AboutBox.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/VersionInfo.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Artwork.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Logo.cpp)
