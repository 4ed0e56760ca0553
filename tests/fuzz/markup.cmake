box_fuzzer(fuzz_xml_markup SOURCES MarkupFuzz.cpp LIBS skinui_markup)
box_fuzzer(fuzz_attr_list SOURCES AttrListFuzz.cpp LIBS skinui_markup)
box_fuzzer(fuzz_image_attr SOURCES ImageAttrFuzz.cpp LIBS skinui_image_attr)
