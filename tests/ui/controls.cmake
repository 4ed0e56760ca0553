box_test(ui_stacklayout_test HOST SOURCES controls/StackLayoutTest.cpp LIBS skinui_stacklayout)
box_test(ui_skin_layout_test SOURCES controls/SkinLayoutTest.cpp LIBS skinui_builder skinui_controls skinui_core LABELS gui)
