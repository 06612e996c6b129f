# The public headers of a library are its umbrella header and whatever that
# includes, directly or through other headers. Only these are installed, so a
# header no public header reaches (a per-pixel stage, a fast path's tables)
# stays internal and can change without breaking anyone's build.
#
# colorcorrect_public_headers(<out-var> <include-root> <umbrella>)
#   <include-root>  folder the installed include paths are relative to
#   <umbrella>      the umbrella header, relative to <include-root>
# Sets <out-var> to the headers reached, relative to <include-root>. Follows
# `#include "..."` relative to the including header and `#include <...>`
# when the name exists under <include-root>; anything else (the standard
# library, another library's headers) is left alone.
function(colorcorrect_public_headers out root umbrella)
  set(todo ${umbrella})
  set(seen "")
  while(todo)
    list(POP_FRONT todo rel)
    if(rel IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${rel})
    # Re-run the configuration when an include line changes.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${root}/${rel})
    get_filename_component(dir ${rel} DIRECTORY)
    file(STRINGS ${root}/${rel} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      if(line MATCHES "include[ \t]*\"([^\"]+)\"")
        if(dir)
          set(next ${dir}/${CMAKE_MATCH_1})
        else()
          set(next ${CMAKE_MATCH_1})
        endif()
        cmake_path(NORMAL_PATH next)
        if(NOT EXISTS ${root}/${next})
          message(FATAL_ERROR "${root}/${rel} includes \"${CMAKE_MATCH_1}\", which does not exist")
        endif()
        list(APPEND todo ${next})
      elseif(line MATCHES "include[ \t]*<([^>]+)>")
        # (A separate test: ${CMAKE_MATCH_1} in the same condition would be
        # expanded before the match is made.)
        if(EXISTS ${root}/${CMAKE_MATCH_1})
          list(APPEND todo ${CMAKE_MATCH_1})
        endif()
      endif()
    endforeach()
  endwhile()
  list(SORT seen)
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Installs the headers colorcorrect_public_headers found, keeping their
# folders under the include directory.
function(colorcorrect_install_headers root)
  foreach(rel ${ARGN})
    get_filename_component(dir ${rel} DIRECTORY)
    install(FILES ${root}/${rel} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir})
  endforeach()
endfunction()
