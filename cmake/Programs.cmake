# Installing the programs: each with a man page made from its own --help and --version by
# help2man (when the machine has it), so the page says what the program says.
include(GNUInstallDirs)
find_program(QUORVIEW_HELP2MAN help2man)
find_program(QUORVIEW_GZIP gzip)

function(quorview_install_program target summary)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(NOT QUORVIEW_HELP2MAN OR NOT QUORVIEW_GZIP)
    message(STATUS "No man page for ${target}: help2man or gzip not found")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${QUORVIEW_HELP2MAN} --no-info --no-discard-stderr "--name=${summary}"
            --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${QUORVIEW_GZIP} -n -9 -f ${page}
    DEPENDS ${target} COMMENT "Writing the man page of ${target}" VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
