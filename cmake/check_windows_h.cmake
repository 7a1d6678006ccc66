# Fails when a source file other than a Windows-only one (a name ending in _win32.cpp, or _win32.h
# for a header that only such files include) includes <windows.h>: the portable core must build
# without it. Run with -DROOT=<source dir>.
file(GLOB_RECURSE files RELATIVE ${ROOT}
     ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp
     ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp)
set(bad "")
foreach(f IN LISTS files)
  if(f MATCHES "_win32\\.(cpp|h)$")
    continue()
  endif()
  file(STRINGS ${ROOT}/${f} hits REGEX "^[ \t]*#[ \t]*include[ \t]*<[Ww]indows\\.h>")
  if(hits)
    list(APPEND bad ${f})
  endif()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "<windows.h> outside the Windows adapters:\n  ${text}")
endif()
message(STATUS "<windows.h> appears only in Windows-only files")
