# Installs the build into PREFIX, as `cmake --install` would for a user, and
# puts the test program TEST into its bin/ beside the program, where it finds
# the installation as the program does.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
    OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "installing into ${PREFIX} failed")
endif()
file(COPY ${TEST} DESTINATION ${PREFIX}/bin)
