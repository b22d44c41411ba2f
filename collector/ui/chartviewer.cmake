# The chart viewer: the dialog, the parts it draws from, and the --chart command.
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/chartcommand.cpp ${CMAKE_CURRENT_LIST_DIR}/chartcommand.h
    ${CMAKE_CURRENT_LIST_DIR}/chartchecks.cpp ${CMAKE_CURRENT_LIST_DIR}/chartchecks.h
    ${CMAKE_CURRENT_LIST_DIR}/chartfile.cpp ${CMAKE_CURRENT_LIST_DIR}/chartfile.h
    ${CMAKE_CURRENT_LIST_DIR}/chartplan.cpp ${CMAKE_CURRENT_LIST_DIR}/chartplan.h
    ${CMAKE_CURRENT_LIST_DIR}/charttooltip.cpp ${CMAKE_CURRENT_LIST_DIR}/charttooltip.h
    ${CMAKE_CURRENT_LIST_DIR}/dialoggraphic.cpp ${CMAKE_CURRENT_LIST_DIR}/dialoggraphic.h
    ${CMAKE_CURRENT_LIST_DIR}/dialoggraphic.ui
    ${CMAKE_CURRENT_LIST_DIR}/pointindex.cpp ${CMAKE_CURRENT_LIST_DIR}/pointindex.h
)
