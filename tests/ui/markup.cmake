box_test(ui_markup_test HOST SOURCES markup/XmlMarkupTest.cpp markup/AttrListTest.cpp LIBS skinui_markup)

if(NOT BOX_HOST_ONLY)
  box_test(ui_markup_file_test SOURCES markup/XmlMarkupFileTest.cpp LIBS skinui_markup test_support)
endif()
box_test(ui_layout_walk_test HOST SOURCES markup/LayoutWalkTest.cpp LIBS skinui_layout_walk)
