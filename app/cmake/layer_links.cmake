# The link half of the layer guard: every target of the build may link only targets of its
# own layer or of the layers below it. It reads both the private and the interface links of
# every target, including those added from other folders, so it runs once the whole project
# has been configured (see vantra_check_layer_links_when_configured).

# The layer a target belongs to, from the folder that defines it; empty for targets outside
# the layers (imported ones, fuzz targets, test and benchmark programs). Test programs are
# leaves that nothing links, so they may link any layer; a helper library under
# app/tests/<layer> serves that layer's tests and the tests above, so it links like <layer>.
function(_vantra_layer_of target out)
  set(layer "")
  get_target_property(imported ${target} IMPORTED)
  if(NOT imported)
    get_target_property(type ${target} TYPE)
    get_target_property(folder ${target} SOURCE_DIR)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${folder})
    if(folder MATCHES "^mathlib(/|$)")
      set(layer library)
    elseif(folder MATCHES "^tools(/|$)")
      set(layer tools)
    elseif(folder MATCHES "^app/tests/([^/]+)")
      if(NOT type STREQUAL "EXECUTABLE")
        set(layer ${CMAKE_MATCH_1})
      endif()
    elseif(folder MATCHES "^app/([^/]+)")
      set(layer ${CMAKE_MATCH_1})
    endif()
    if(NOT DEFINED VANTRA_LINKS_OF_${layer})
      set(layer "")
    endif()
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# The targets a target links directly, privately or through its interface. Generator
# expressions count with every target they name ($<LINK_ONLY:x>, $<$<CONFIG:Debug>:x>, ...),
# aliases count as the target they stand for.
function(_vantra_direct_links target out)
  set(links "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(items ${target} ${property})
    if(NOT items)
      continue()
    endif()
    foreach(item ${items})
      # Keep "::" of namespaced names, split on every other piece of expression syntax.
      string(REPLACE "::" "\n" item "${item}")
      string(REGEX REPLACE "[$<>:,]" ";" pieces "${item}")
      foreach(piece ${pieces})
        string(REPLACE "\n" "::" piece "${piece}")
        if(piece AND TARGET ${piece})
          get_target_property(aliased ${piece} ALIASED_TARGET)
          if(aliased)
            set(piece ${aliased})
          endif()
          list(APPEND links ${piece})
        endif()
      endforeach()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES links)
  set(${out} "${links}" PARENT_SCOPE)
endfunction()

function(_vantra_targets_under folder out)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(child ${children})
    _vantra_targets_under(${child} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} "${targets}" PARENT_SCOPE)
endfunction()

# Stops the configure with one line per link that points to a layer the target may not use.
# Links through targets outside the layers (an imported or helper target) are followed, so
# an upward link cannot hide behind one.
function(vantra_check_layer_links)
  # Who may link whom. The math library and the terrain-map generator stand apart from the
  # program; platform and elevation stand side by side at the program's bottom and do not
  # link each other.
  set(VANTRA_LINKS_OF_library library)
  set(VANTRA_LINKS_OF_tools library tools)
  set(VANTRA_LINKS_OF_platform library platform)
  set(VANTRA_LINKS_OF_elevation library elevation)
  set(VANTRA_LINKS_OF_engine library platform elevation engine)
  set(VANTRA_LINKS_OF_scene ${VANTRA_LINKS_OF_engine} scene)
  set(VANTRA_LINKS_OF_terrain ${VANTRA_LINKS_OF_scene} terrain)
  set(VANTRA_LINKS_OF_shell ${VANTRA_LINKS_OF_terrain} shell)
  _vantra_targets_under(${PROJECT_SOURCE_DIR} targets)
  set(faults "")
  foreach(target ${targets})
    _vantra_layer_of(${target} layer)
    if(NOT layer)
      continue()
    endif()
    _vantra_direct_links(${target} pending)
    set(seen ${target})
    while(pending)
      list(POP_FRONT pending link)
      if(link IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${link})
      _vantra_layer_of(${link} linkLayer)
      if(NOT linkLayer)
        _vantra_direct_links(${link} further)
        list(APPEND pending ${further})
      elseif(NOT linkLayer IN_LIST VANTRA_LINKS_OF_${layer})
        list(APPEND faults "${target} (${layer}) links ${link} (${linkLayer}), which it may not use")
      endif()
    endwhile()
  endforeach()
  if(faults)
    list(JOIN faults "\n" report)
    message(FATAL_ERROR "Layer links:\n${report}")
  endif()
endfunction()

# Runs the check when the top folder has been read, after every target and link exists.
function(vantra_check_layer_links_when_configured)
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vantra_check_layer_links)
endfunction()
