# quenlith-bench-write: one big attachment through write() (see bench/big-attachment.sh).
add_executable(quenlith-bench-write ${CMAKE_CURRENT_LIST_DIR}/big-attachment.cpp)
quenlith_target_defaults(quenlith-bench-write)
target_compile_definitions(quenlith-bench-write PRIVATE POINTERHOLDER_TRANSITION=4)
target_link_libraries(quenlith-bench-write PRIVATE quenlith_core qpdf::libqpdf)
