# Copies every file of SOURCE into DEST unless DEST already has a file of that
# name; files under the top-level folder SKIP (when given) are left out.
#
# The program's files with secrets (config::IsPrivateFile) are readable by
# their owner only: a new copy is made in a private folder and moved into
# place, so it is never readable by others, and an older copy loses any
# group or other bits.
cmake_minimum_required(VERSION 3.25)  # run with -P: the policies of the project's version

set(private_files users.lst users.pjc quorvane.log https-key.pem)
set(stage ${DEST}/.private-copy)

file(GLOB_RECURSE sample_files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(relative ${sample_files})
  if(DEFINED SKIP AND relative MATCHES "^${SKIP}/")
    continue()
  endif()
  if(EXISTS ${DEST}/${relative} OR IS_SYMLINK ${DEST}/${relative})
    continue()
  endif()
  if(relative IN_LIST private_files)
    file(REMOVE_RECURSE ${stage})
    file(MAKE_DIRECTORY ${stage})
    file(CHMOD ${stage} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    file(COPY ${SOURCE}/${relative} DESTINATION ${stage} FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
    file(RENAME ${stage}/${relative} ${DEST}/${relative} NO_REPLACE)
    file(REMOVE_RECURSE ${stage})
  else()
    get_filename_component(folder ${DEST}/${relative} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY ${SOURCE}/${relative} DESTINATION ${folder})
  endif()
endforeach()

foreach(name ${private_files})
  if(EXISTS ${DEST}/${name} AND NOT IS_SYMLINK ${DEST}/${name})
    execute_process(COMMAND chmod go= ${DEST}/${name} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
