nexil_add_test(tst_wizardhistory SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_wizardhistory.cpp
    LIBS collector_ui Qt5::Sql LABELS "collector;gui;simulator")
add_dependencies(tst_wizardhistory loggersim)
