nexil_add_test(tst_identityread SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_identityread.cpp
    LIBS collector_ui LABELS "collector;gui;simulator")
add_dependencies(tst_identityread loggersim)
