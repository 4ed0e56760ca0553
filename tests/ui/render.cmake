box_test(ui_render_attr_test HOST SOURCES render/ImageAttrTest.cpp LIBS skinui_image_attr)
