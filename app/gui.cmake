# Desktop application: the main window and its helpers join orvan_gui (the
# other folders add their own windows); the executable orvan-writer; QtTest
# suites.
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
)

add_executable(orvan-writer ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(orvan-writer PRIVATE orvan_gui)
set_target_properties(orvan-writer PROPERTIES AUTOMOC ON)

add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/tests ${CMAKE_CURRENT_BINARY_DIR}/tests)
