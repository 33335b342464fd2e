# The buffer windows (program memory, EEPROM) and their dialogs join the
# desktop library.
target_sources(orvan_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/Mdichild.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Eedata.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/HexGrid.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Fillbuffer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Editsingledata.cpp)
