# A station's configuration history: the window that shows it and what the
# setup wizard adds to it.
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/wizardhistory.cpp ${CMAKE_CURRENT_LIST_DIR}/wizardhistory.h
    ${CMAKE_CURRENT_LIST_DIR}/consolehistory.cpp ${CMAKE_CURRENT_LIST_DIR}/consolehistory.h
    ${CMAKE_CURRENT_LIST_DIR}/confighistorydialog.cpp ${CMAKE_CURRENT_LIST_DIR}/confighistorydialog.h
)
