box_test(ui_attrvalue_test HOST SOURCES core_window/AttrValueTest.cpp LIBS skinui_attrvalue)
