# quenlith-gui-bench: the window's folder add and extraction run, timed (see bench/gui-bench.cpp).
add_executable(quenlith-gui-bench ${CMAKE_CURRENT_LIST_DIR}/gui-bench.cpp)
quenlith_target_defaults(quenlith-gui-bench)
target_link_libraries(quenlith-gui-bench PRIVATE quenlith_gui)
