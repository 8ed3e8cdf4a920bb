# The committed demo files are exactly what their generators make: the
# projects what make_demo makes, and, when qdpview is built, the preview
# and the font sheet what qdpview makes of the demo project.
execute_process(COMMAND ${MAKE_DEMO} --check ${DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the demo projects are out of date")
endif()
if(PREVIEW_CHECK)
  execute_process(COMMAND ${PREVIEW_CHECK} ${DIR}/demo.qdp ${DIR}/demo.png
                          ${DIR}/demo-fonts.png 2
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "examples/demo.png or examples/demo-fonts.png is out of date")
  endif()
endif()
