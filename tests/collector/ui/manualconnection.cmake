nexil_add_test(tst_manualconnection SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_manualconnection.cpp
    LIBS collector_ui Qt5::Sql LABELS "collector;gui;simulator")
add_dependencies(tst_manualconnection loggersim)
