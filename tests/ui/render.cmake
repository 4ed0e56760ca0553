box_test(ui_render_attr_test HOST SOURCES render/ImageAttrTest.cpp LIBS skinui_image_attr)

if(NOT BOX_HOST_ONLY)
  box_test(ui_render_image_test SOURCES render/RenderImageTest.cpp render/RenderTest.rc
           LIBS skinui_render test_support)
endif()
