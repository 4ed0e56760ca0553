box_test(ui_render_attr_test HOST SOURCES render/ImageAttrTest.cpp LIBS skinui_image_attr)
box_test(ui_render_resample_test HOST SOURCES render/AreaResampleTest.cpp LIBS skinui_area_resample)

if(NOT BOX_HOST_ONLY)
  box_test(ui_render_image_test SOURCES render/RenderImageTest.cpp render/RenderTest.rc
           LIBS skinui_render test_support)
endif()

if(NOT BOX_HOST_ONLY)
  # Run on demand by tools/bench-render.sh; not a test.
  box_test_helper(bench_render SOURCES render/BenchRender.cpp LIBS skinui_render skinui_markup)
  target_include_directories(bench_render PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endif()
