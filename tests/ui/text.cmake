# The text controls: edit boxes, the rich edit, text with links, button
# fading and tooltips, in real windows under Wine; the inline markup also
# natively.
box_test(ui_inline_markup_test HOST SOURCES text/InlineMarkupTest.cpp LIBS skinui_inline_markup)

if(NOT BOX_HOST_ONLY)
  set(text_test_libs skinui_builder skinui_controls skinui_core test_support)
  box_test(ui_edit_test SOURCES text/EditTest.cpp LIBS ${text_test_libs} LABELS gui)
  box_test(ui_richedit_test SOURCES text/RichEditTest.cpp LIBS ${text_test_libs} LABELS gui)
  box_test(ui_text_controls_test SOURCES text/TextControlsTest.cpp LIBS ${text_test_libs} comctl32 LABELS gui)
endif()
