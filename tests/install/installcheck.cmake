# Installs the build into WORK_DIR/prefix, checks the layout, builds examples/host against the
# installed package and runs it offscreen. Run with cmake -P; see CMakeLists.txt.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run_or_fail what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err TIMEOUT 400)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

run_or_fail("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# A temporary prefix gets the plain lib/ folder (the multiarch one is for /usr only).
foreach(path
        lib/libravlenpacsviewer.so
        lib/viewer/README
        lib/cmake/RavlenPACSViewer/RavlenPACSViewerConfig.cmake
        lib/cmake/RavlenPACSViewer/RavlenPACSViewerConfigVersion.cmake
        lib/cmake/RavlenPACSViewer/RavlenPACSViewerTargets.cmake
        include/ravlenpacsviewer/component/clsravlenpacsviewer.h
        bin/ravlenpacs
        share/applications/ravlenpacs.desktop)
    if(NOT EXISTS ${prefix}/${path})
        message(FATAL_ERROR "the install lacks ${path}")
    endif()
endforeach()

# The one public header, and nothing that would pull the toolkit into a host's build.
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/*)
if(NOT headers STREQUAL "ravlenpacsviewer/component/clsravlenpacsviewer.h")
    message(FATAL_ERROR "headers other than the public one were installed: ${headers}")
endif()
file(GLOB_RECURSE archives ${prefix}/*.a)
if(archives)
    message(FATAL_ERROR "static folder libraries were installed: ${archives}")
endif()

# The installed program finds the installed library through its run path.
run_or_fail("installed ravlenpacs --version" ${prefix}/bin/ravlenpacs --version)
if(NOT last_output MATCHES "^ravlenpacs [0-9]")
    message(FATAL_ERROR "unexpected version text: ${last_output}")
endif()

run_or_fail("configuring examples/host" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/host
            -B ${WORK_DIR}/host -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix})
run_or_fail("building examples/host" ${CMAKE_COMMAND} --build ${WORK_DIR}/host)

# The host runs offscreen with its own settings folder; the component makes an empty INI file
# beside the installed library, so the query goes nowhere and the run ends by its timer.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{XDG_CONFIG_HOME} ${WORK_DIR}/config)
set(ENV{XDG_DATA_HOME} ${WORK_DIR}/data)
run_or_fail("running the host example" ${WORK_DIR}/host/host-example 1.2.826.0.1.3680043.2.1
            --quit-after-ms 1500)
if(NOT last_output MATCHES "OpenImage returned for study 1.2.826.0.1.3680043.2.1")
    message(FATAL_ERROR "the host example did not open the study: ${last_output}")
endif()
if(NOT EXISTS ${prefix}/lib/ravlenpacs.ini)
    message(FATAL_ERROR "the component made no ravlenpacs.ini beside the installed library")
endif()
message(STATUS "installed, built and ran examples/host against ${prefix}")
