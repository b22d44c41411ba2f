nexil_add_test(tst_stationform SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_stationform.cpp
    LIBS collector_ui LABELS collector)
nexil_add_test(tst_editstationdialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_editstationdialog.cpp
    LIBS collector_ui Qt5::Sql LABELS "collector;gui")
nexil_add_test(tst_readfromstation SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_readfromstation.cpp
    LIBS collector_ui Qt5::Sql LABELS "collector;gui;simulator")
add_dependencies(tst_readfromstation loggersim)
nexil_add_test(tst_settingsdialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_settingsdialog.cpp
    LIBS collector_ui LABELS "collector;gui")
