box_test(ui_attrvalue_test HOST SOURCES core_window/AttrValueTest.cpp LIBS skinui_attrvalue)
box_test(ui_manager_input_test SOURCES core_window/ManagerInputTest.cpp LIBS skinui_controls skinui_core LABELS gui)
box_test(ui_manager_timer_test SOURCES core_window/ManagerTimerTest.cpp LIBS skinui_controls skinui_core LABELS gui)
if(NOT BOX_HOST_ONLY)
  # oleacc through the delay-import library: mingw's import library also
  # defines IID_IAccessible, as a function, and would shadow the real one.
  box_test(ui_accessible_test SOURCES core_window/AccessibleObjectTest.cpp LIBS skinui_controls skinui_core box_oleacc
           LABELS gui)
endif()
box_test(ui_layout_builder_test SOURCES core_window/LayoutBuilderTest.cpp
         LIBS skinui_builder skinui_controls skinui_core test_support LABELS gui)

if(NOT BOX_HOST_ONLY)
  # The "ZIPRES" skin: a zip made from the test's data at build time.
  set(BOX_TEST_ZIP ${CMAKE_CURRENT_BINARY_DIR}/framework_skin.zip)
  add_custom_command(OUTPUT ${BOX_TEST_ZIP}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${BOX_TEST_ZIP} --format=zip zipped.xml
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/core_window/data
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/core_window/data/zipped.xml)
  configure_file(core_window/FrameworkTest.rc.in ${CMAKE_CURRENT_BINARY_DIR}/FrameworkTest.rc @ONLY)
  set(box_framework_rc ${CMAKE_CURRENT_BINARY_DIR}/FrameworkTest.rc)
  set_source_files_properties(${box_framework_rc} PROPERTIES
    OBJECT_DEPENDS "${BOX_TEST_ZIP};${CMAKE_CURRENT_SOURCE_DIR}/core_window/data/tiny.xml")

  box_test(ui_window_base_test SOURCES core_window/WindowImplBaseTest.cpp ${box_framework_rc}
           LIBS skinui_window test_support LABELS gui TIMEOUT 120)
  target_include_directories(ui_window_base_test PRIVATE ${PROJECT_SOURCE_DIR}/skin)
  box_test_helper(ui_skin_failure_helper SOURCES core_window/SkinFailureHelper.cpp LIBS skinui_window)
  add_dependencies(ui_window_base_test ui_skin_failure_helper)
endif()

if(NOT BOX_HOST_ONLY)
  box_test(ui_manager_paint_test SOURCES core_window/ManagerPaintTest.cpp ${box_framework_rc}
           LIBS skinui_builder skinui_controls skinui_core LABELS gui)
  target_include_directories(ui_manager_paint_test PRIVATE ${PROJECT_SOURCE_DIR}/skin)
endif()

if(NOT BOX_HOST_ONLY)
  # Run on demand by tools/bench-ui.sh; not a test.
  box_test_helper(bench_ui SOURCES core_window/BenchUI.cpp ${box_framework_rc} LIBS skinui_window)
  target_include_directories(bench_ui PRIVATE ${PROJECT_SOURCE_DIR}/skin)
endif()
