# The OPTION editor window joins the desktop library.
target_sources(orvan_gui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Editoptionform.cpp)
