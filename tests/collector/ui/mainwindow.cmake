nexil_add_test(tst_stationfiles SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_stationfiles.cpp
    LIBS collector_ui LABELS collector)
nexil_add_test(tst_mainwindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindow.cpp
    LIBS collector_ui Qt5::Sql LABELS "collector;gui")
nexil_add_test(tst_mainwindowcollection SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_mainwindowcollection.cpp
    LIBS collector_ui LABELS "collector;gui;simulator")
add_dependencies(tst_mainwindowcollection loggersim)
nexil_add_test(tst_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_startup.cpp
    LIBS collector_ui Qt5::Xml LABELS "collector;gui")
add_dependencies(tst_startup tqm510)
set_property(TEST tst_startup APPEND PROPERTY ENVIRONMENT
    "TQM510=$<TARGET_FILE:tqm510>;NEXIL_BUILD_DIR=${CMAKE_BINARY_DIR}")

# Not a test: draws docs/ pictures of the window (scripts/screenshots).
add_executable(shot_mainwindow ${CMAKE_CURRENT_LIST_DIR}/shot_mainwindow.cpp)
target_link_libraries(shot_mainwindow PRIVATE collector_ui)
