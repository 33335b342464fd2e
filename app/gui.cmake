# Desktop application: the main window and the buffer, information and ID
# windows, in orvan_gui; the executable orvan-writer; QtTest suites.
target_sources(orvan_gui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/MainForm.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormPanel.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormCommands.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormWindows.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormDialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormProduction.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormOps.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormFiles.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormLink.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainFormInfo.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MessageBoxes.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SignalClose.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../buffer/Mdichild.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../buffer/Eedata.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../buffer/HexGrid.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../buffer/Fillbuffer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../buffer/Editsingledata.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../info/Logo.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/../device/Editoptionform.cpp
)

add_executable(orvan-writer ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(orvan-writer PRIVATE orvan_gui)
set_target_properties(orvan-writer PROPERTIES AUTOMOC ON)

add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/tests ${CMAKE_CURRENT_BINARY_DIR}/tests)
