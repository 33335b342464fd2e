# The operation dialogs join the desktop library.
file(GLOB OPS_GUI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*[Ff]orm.cpp)
target_sources(orvan_gui PRIVATE ${OPS_GUI_SOURCES})
