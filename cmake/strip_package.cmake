# Run by CPack on the staged files before it packs them (CPACK_PRE_BUILD_SCRIPTS): the program loses the
# compilers' .comment and .note sections as well as its symbols, as Debian's own packages do (dh_strip).
find_program(GLV_STRIP NAMES strip REQUIRED)
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${GLV_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
                          ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
