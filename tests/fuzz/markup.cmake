box_fuzzer(fuzz_xml_markup SOURCES MarkupFuzz.cpp LIBS skinui_markup)
box_fuzzer(fuzz_attr_list SOURCES AttrListFuzz.cpp LIBS skinui_markup)
box_fuzzer(fuzz_image_attr SOURCES ImageAttrFuzz.cpp LIBS skinui_image_attr)
# The layout walk, with the attribute readers the controls' setters use.
box_fuzzer(fuzz_layout SOURCES LayoutFuzz.cpp
           LIBS skinui_layout_walk skinui_image_attr skinui_inline_markup skinui_attrvalue)
