# Manual pages: scdoc sources beside this file, roff built into <build>/man. Each page is
# checked by a test that renders it with man's warnings on.
find_program(DRUX_SCDOC scdoc)
set(DRUX_MANUAL_PAGE_DIR ${CMAKE_BINARY_DIR}/man)
set(DRUX_MANUAL_PAGE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
# The date in each page's footer: the pages' last revision, not the build's day, so that a
# rebuild gives the same bytes.
set(DRUX_MANUAL_PAGE_EPOCH 1796774400)

# drux_manual_page(<name> <section> [COMMANDS_OF <tool target>]): <build>/man/<name>.<section>
# from <name>.<section>.scd; with COMMANDS_OF the test also checks that the page describes every
# command that the tool's help lists.
function(drux_manual_page name section)
  cmake_parse_arguments(PARSE_ARGV 2 page "" "COMMANDS_OF" "")
  set(page ${name}.${section})
  if(NOT DRUX_SCDOC)
    message(FATAL_ERROR "scdoc not found: it builds the manual page ${page} (.ci/install-deps)")
  endif()
  set(source ${DRUX_MANUAL_PAGE_SOURCE_DIR}/${page}.scd)
  set(output ${DRUX_MANUAL_PAGE_DIR}/${page})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DRUX_MANUAL_PAGE_DIR}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${DRUX_MANUAL_PAGE_EPOCH}
            sh -c "\"$0\" < \"$1\" > \"$2\"" ${DRUX_SCDOC} ${source} ${output}
    DEPENDS ${source}
    COMMENT "Manual page ${page}"
    VERBATIM)
  add_custom_target(manual_page_${name} ALL DEPENDS ${output})
  if(DRUX_BUILD_TESTS)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(commands_of "")
    if(page_COMMANDS_OF)
      set(commands_of --commands-of $<TARGET_FILE:${page_COMMANDS_OF}>)
    endif()
    add_test(NAME manual_page_${name}
             COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/package/check_package.py
                     manual-page ${output} ${commands_of})
    set_tests_properties(manual_page_${name} PROPERTIES LABELS package SKIP_RETURN_CODE 77)
  endif()
endfunction()
