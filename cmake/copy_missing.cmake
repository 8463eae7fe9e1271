# Copies every file of SOURCE into DEST unless DEST already has a file of that
# name; files under the top-level folder SKIP (when given) are left out.
file(GLOB_RECURSE sample_files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(relative ${sample_files})
  if(DEFINED SKIP AND relative MATCHES "^${SKIP}/")
    continue()
  endif()
  if(NOT EXISTS ${DEST}/${relative})
    get_filename_component(folder ${DEST}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY ${SOURCE}/${relative} DESTINATION ${folder})
  endif()
endforeach()
