# Install-time step (run by `cmake --install` and by CPack): makes the files
# that name installed paths for the prefix actually installed to, then installs
# them. The variables MURKWELL_* are set by dist/CMakeLists.txt just before.

function(full_path out rel)
  if(IS_ABSOLUTE "${rel}")
    set(${out} "${rel}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${rel}" PARENT_SCOPE)
  endif()
endfunction()

full_path(MURKWELL_FULL_BINDIR "${MURKWELL_BINDIR_REL}")
full_path(MURKWELL_DATADIR "${MURKWELL_DATADIR_REL}")
full_path(MURKWELL_DOCDIR "${MURKWELL_DOCDIR_REL}")
full_path(mandir "${MURKWELL_MANDIR_REL}")

# One staging folder per destination, so two installs from one build folder at
# the same time (a package being made while the tree is installed) never share files.
string(MD5 key "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(stage "${MURKWELL_DIST_STAGE}/${key}")
file(MAKE_DIRECTORY "${stage}")

set(pages murkwell.6)
if(MURKWELL_WITH_SERVER)
  list(APPEND pages murkwell-server.6)
endif()
set(gz_pages)
foreach(page ${pages})
  configure_file("${MURKWELL_DIST_SOURCE}/${page}.in" "${stage}/${page}" @ONLY)
  # Compressed as Debian wants manual pages, without a time stamp (-n) so the
  # same prefix always gives the same bytes.
  execute_process(COMMAND gzip -9 -n -f "${stage}/${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${stage}/${page}")
  endif()
  list(APPEND gz_pages "${stage}/${page}.gz")
endforeach()
file(INSTALL DESTINATION "${mandir}/man6" TYPE FILE FILES ${gz_pages})

if(MURKWELL_WITH_SERVER)
  configure_file("${MURKWELL_DIST_SOURCE}/murkwell-server.service.in" "${stage}/murkwell-server.service" @ONLY)
  file(INSTALL DESTINATION "${MURKWELL_DOCDIR}/examples" TYPE FILE FILES "${stage}/murkwell-server.service")
endif()
