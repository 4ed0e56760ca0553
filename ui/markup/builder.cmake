# The skin builder: parsed markup to a control tree. Included from this
# folder's CMakeLists.txt.
if(NOT BOX_HOST_ONLY)
  box_library(skinui_builder SOURCES LayoutBuilder.cpp DEPS skinui_layout_walk skinui_markup skinui_controls skinui_core skinui_resources)
  box_library(skinui_window SOURCES ${PROJECT_SOURCE_DIR}/ui/core/WindowImplBase.cpp DEPS skinui_builder skinui_core)
endif()
