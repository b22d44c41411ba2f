# "Read From Station": one identity read with Cancel and a time limit.
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/identityread.cpp ${CMAKE_CURRENT_LIST_DIR}/identityread.h)
