box_test(ui_attrvalue_test HOST SOURCES core_window/AttrValueTest.cpp LIBS skinui_attrvalue)
box_test(ui_manager_input_test SOURCES core_window/ManagerInputTest.cpp LIBS skinui_controls skinui_core LABELS gui)
box_test(ui_manager_timer_test SOURCES core_window/ManagerTimerTest.cpp LIBS skinui_controls skinui_core LABELS gui)
box_test(ui_manager_paint_test SOURCES core_window/ManagerPaintTest.cpp LIBS skinui_controls skinui_core LABELS gui)
box_test(ui_layout_builder_test SOURCES core_window/LayoutBuilderTest.cpp
         LIBS skinui_builder skinui_controls skinui_core test_support LABELS gui)
