# The station editor and the settings dialog, with the rules they share.
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/collectorsettings.cpp ${CMAKE_CURRENT_LIST_DIR}/collectorsettings.h
    ${CMAKE_CURRENT_LIST_DIR}/stationform.cpp ${CMAKE_CURRENT_LIST_DIR}/stationform.h
    ${CMAKE_CURRENT_LIST_DIR}/editstationdialog.cpp ${CMAKE_CURRENT_LIST_DIR}/editstationdialog.h
    ${CMAKE_CURRENT_LIST_DIR}/editstationdialog.ui
    ${CMAKE_CURRENT_LIST_DIR}/settingsdialog.cpp ${CMAKE_CURRENT_LIST_DIR}/settingsdialog.h
    ${CMAKE_CURRENT_LIST_DIR}/settingsdialog.ui
    ${CMAKE_CURRENT_LIST_DIR}/collectionpages.cpp ${CMAKE_CURRENT_LIST_DIR}/collectionpages.h
)
