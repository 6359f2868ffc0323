# Fails when program code binds OpenGL state itself instead of through the platform's
# binding cache (GlStateCache): a glBind* call other than the attribute and output location
# ones, glUseProgram, glActiveTexture, or a binding read back with glGet. Every source and
# header of every layer counts, in sub-folders too; the cache's own files are the exception.
# Run as: cmake -DAPP_DIR=<app> -P check_gl_bindings.cmake
cmake_minimum_required(VERSION 3.25)

set(layers platform elevation engine scene terrain shell)
set(cache_files platform/gl_state_cache.h platform/gl_state_cache.cpp)
set(call "(^|[^A-Za-z0-9_])gl(Bind[A-Z][A-Za-z]*|UseProgram|ActiveTexture)[ \t]*\\(")
set(read_back "GL_[A-Z0-9_]*_BINDING[A-Z0-9_]*")
set(allowed "glBind(AttribLocation|FragDataLocation|FragDataLocationIndexed)")

get_filename_component(APP_DIR "${APP_DIR}" REALPATH)
set(faults "")
foreach(layer ${layers})
  file(GLOB_RECURSE sources ${APP_DIR}/${layer}/*.h ${APP_DIR}/${layer}/*.hpp
       ${APP_DIR}/${layer}/*.cpp ${APP_DIR}/${layer}/*.cc ${APP_DIR}/${layer}/*.inl)
  foreach(source ${sources})
    file(RELATIVE_PATH path ${APP_DIR} ${source})
    if(path IN_LIST cache_files)
      continue()
    endif()
    file(STRINGS ${source} lines REGEX "${call}|${read_back}")
    foreach(line ${lines})
      string(REGEX REPLACE "${allowed}" "" rest "${line}")
      if(rest MATCHES "${call}|${read_back}")
        string(STRIP "${line}" line)
        list(APPEND faults "${source} binds behind the binding cache: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "${report}")
endif()
