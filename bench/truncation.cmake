# quenlith-bench-recover: a document cut short through recoverTruncated (see bench/truncation.sh).
add_executable(quenlith-bench-recover ${CMAKE_CURRENT_LIST_DIR}/recover-attachments.cpp)
quenlith_target_defaults(quenlith-bench-recover)
target_compile_definitions(quenlith-bench-recover PRIVATE POINTERHOLDER_TRANSITION=4)
target_include_directories(quenlith-bench-recover PRIVATE "${PROJECT_SOURCE_DIR}")
target_link_libraries(quenlith-bench-recover PRIVATE quenlith_pdf qpdf::libqpdf)
