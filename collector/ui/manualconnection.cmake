# The manual connection console: one device by hand over a serial port or TCP
# (the library brings Qt's SerialPort and Network modules).
target_sources(collector_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/manualconnection.cpp ${CMAKE_CURRENT_LIST_DIR}/manualconnection.h
    ${CMAKE_CURRENT_LIST_DIR}/manualconnection.ui
)
