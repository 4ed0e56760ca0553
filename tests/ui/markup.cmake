box_test(ui_markup_test HOST SOURCES markup/XmlMarkupTest.cpp markup/AttrListTest.cpp LIBS skinui_markup)
