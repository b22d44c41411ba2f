# The main window, the desktop start-up, and what they expect beside the
# program at run time: ../lang (translations) and ../style (style sheets).
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.cpp ${CMAKE_CURRENT_LIST_DIR}/mainwindow.h
    ${CMAKE_CURRENT_LIST_DIR}/mainwindow.ui ${CMAKE_CURRENT_LIST_DIR}/mainwindow.qrc
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp ${CMAKE_CURRENT_LIST_DIR}/startup.h
    ${CMAKE_CURRENT_LIST_DIR}/alarmfollower.cpp ${CMAKE_CURRENT_LIST_DIR}/alarmfollower.h
    ${CMAKE_CURRENT_LIST_DIR}/stationcounts.cpp ${CMAKE_CURRENT_LIST_DIR}/stationcounts.h
    ${CMAKE_CURRENT_LIST_DIR}/stationfiles.cpp ${CMAKE_CURRENT_LIST_DIR}/stationfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/filereveal.cpp ${CMAKE_CURRENT_LIST_DIR}/filereveal.h
    ${CMAKE_CURRENT_LIST_DIR}/stationfiltermodel.cpp ${CMAKE_CURRENT_LIST_DIR}/stationfiltermodel.h
    ${CMAKE_CURRENT_LIST_DIR}/storehealth.cpp ${CMAKE_CURRENT_LIST_DIR}/storehealth.h
    ${CMAKE_CURRENT_LIST_DIR}/checkmenu.cpp ${CMAKE_CURRENT_LIST_DIR}/checkmenu.h
)

# Showing a file in the desktop's file manager goes over D-Bus where there is one.
if(UNIX AND NOT APPLE)
    find_package(Qt5 QUIET COMPONENTS DBus)
    if(Qt5DBus_FOUND)
        target_link_libraries(collector_ui PRIVATE Qt5::DBus)
        target_compile_definitions(collector_ui PRIVATE NEXIL_FILEMANAGER_DBUS)
    endif()
endif()

# Translations: lang/*.ts compiled by lrelease into <build>/lang, with the
# language icons the settings dialog lists, and Qt's own Turkish texts in
# lang/qt (out of the list of languages).
find_package(Qt5LinguistTools REQUIRED)
set(nexil_lang_dir ${PROJECT_SOURCE_DIR}/lang)
set(nexil_lang_out ${CMAKE_BINARY_DIR}/lang)
file(GLOB nexil_ts_files ${nexil_lang_dir}/*.ts)
set_source_files_properties(${nexil_ts_files} PROPERTIES OUTPUT_LOCATION ${nexil_lang_out})
qt5_add_translation(nexil_qm_files ${nexil_ts_files})

get_target_property(nexil_qmake Qt5::qmake IMPORTED_LOCATION)
execute_process(COMMAND ${nexil_qmake} -query QT_INSTALL_TRANSLATIONS
    OUTPUT_VARIABLE nexil_qt_translations OUTPUT_STRIP_TRAILING_WHITESPACE)
set(nexil_runtime_outputs)
set(nexil_qtbase_tr ${nexil_qt_translations}/qtbase_tr.qm)
if(EXISTS ${nexil_qtbase_tr})
    add_custom_command(OUTPUT ${nexil_lang_out}/qt/qtbase_tr.qm
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${nexil_qtbase_tr} ${nexil_lang_out}/qt/qtbase_tr.qm
        DEPENDS ${nexil_qtbase_tr} VERBATIM)
    list(APPEND nexil_runtime_outputs ${nexil_lang_out}/qt/qtbase_tr.qm)
endif()
file(GLOB nexil_lang_icons ${nexil_lang_dir}/*.png)
foreach(src ${nexil_lang_icons})
    get_filename_component(name ${src} NAME)
    add_custom_command(OUTPUT ${nexil_lang_out}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${nexil_lang_out}/${name}
        DEPENDS ${src} VERBATIM)
    list(APPEND nexil_runtime_outputs ${nexil_lang_out}/${name})
endforeach()

file(GLOB nexil_style_files ${PROJECT_SOURCE_DIR}/style/*.qss)
foreach(src ${nexil_style_files})
    get_filename_component(name ${src} NAME)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/style/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${src} ${CMAKE_BINARY_DIR}/style/${name}
        DEPENDS ${src} VERBATIM)
    list(APPEND nexil_runtime_outputs ${CMAKE_BINARY_DIR}/style/${name})
endforeach()

add_custom_target(collector_runtime_files DEPENDS ${nexil_qm_files} ${nexil_runtime_outputs})
add_dependencies(collector_ui collector_runtime_files)

# `cmake --build build --target lupdate` brings the .ts files in step with the
# sources (run by hand: the build itself never rewrites them). The library's
# texts are there too: the window shows its wizard, errors and upload reports.
add_custom_target(lupdate
    COMMAND Qt5::lupdate -no-obsolete -locations none ${PROJECT_SOURCE_DIR}/collector ${PROJECT_SOURCE_DIR}/nexil
            -ts ${nexil_ts_files}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} VERBATIM)
