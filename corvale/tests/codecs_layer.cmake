# Fails when the codecs library calls for threads, files, the console or the platform layer:
# the codecs take bytes and give bytes, and everything else belongs to the program library.
# Run by CTest: cmake -DLIBRARY=<libcorvale_codecs.a> -DNM=<nm> -P codecs_layer.cmake

execute_process(COMMAND ${NM} --undefined-only --demangle ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()

set(forbidden
  "corvale::platform::"
  "pthread_create" "std::thread::" "std::jthread"
  "fopen" "freopen" "fwrite" "fread" "fputs" "fprintf" "printf" "puts" "putchar"
  "open" "open64" "openat" "creat" "read" "write" "pread" "pwrite" "unlink" "rename"
  "std::basic_ofstream" "std::basic_ifstream" "std::basic_fstream" "std::cout" "std::cerr" "std::clog")

string(REPLACE "\n" ";" lines "${symbols}")
set(found "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^ +U (.+)$")
    continue()
  endif()
  set(symbol "${CMAKE_MATCH_1}")
  foreach(name IN LISTS forbidden)
    string(FIND "${symbol}" "${name}" at)
    # A C function must match whole; a C++ name may have its arguments after it.
    if((at EQUAL 0 AND (symbol STREQUAL name OR name MATCHES ":" OR symbol MATCHES "^${name}[@(]")))
      list(APPEND found "${symbol}")
    endif()
  endforeach()
endforeach()

if(found)
  list(REMOVE_DUPLICATES found)
  list(JOIN found "\n  " names)
  message(FATAL_ERROR "The codecs library must not use:\n  ${names}")
endif()
