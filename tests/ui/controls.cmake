box_test(ui_stacklayout_test HOST SOURCES controls/StackLayoutTest.cpp LIBS skinui_stacklayout)
