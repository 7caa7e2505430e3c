# Copies the default KX_INC files beside the executable without replacing any
# file the user already has there, and makes the EXTERNAL PROGRAMS folder.
file(MAKE_DIRECTORY "${DST}" "${DST}/EXTERNAL PROGRAMS")
file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/*")
foreach(f IN LISTS files)
  if(f MATCHES "(^|/)\\.gitkeep$")
    continue()
  endif()
  if(NOT EXISTS "${DST}/${f}")
    get_filename_component(dir "${DST}/${f}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY "${SRC}/${f}" DESTINATION "${dir}")
  endif()
endforeach()
