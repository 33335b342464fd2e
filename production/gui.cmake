# The production dialogs join the desktop library.
file(GLOB PRODUCTION_GUI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*[Ff]orm.cpp)
target_sources(orvan_gui PRIVATE ${PRODUCTION_GUI_SOURCES})
