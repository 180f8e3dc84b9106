# Checks that the core's folders depend on each other one way only: a file
# may include headers of its own folder and of the folders listed before it,
# never of a folder listed after it. Run by CTest with -DCORE_DIR=<src/core>.
#
#   .           version, localization, settings, errors, enum cases
#   model       the document model
#   fonts       font lookup, measuring and embedded PDF fonts
#   pdf         reading PDF files (the poppler adapter, import, text lines)
#   assets      recognising and measuring artwork files
#   operations  edits and element factories
#   svg         reading SVG files
#   render      drawing pages, elements and artwork
#   export      writing PDF and SVG files
#   sample      generated sample documents
set(layers "." model fonts pdf assets operations svg render export sample)

file(GLOB_RECURSE files RELATIVE "${CORE_DIR}" "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp" "${CORE_DIR}/*.in")
set(failures "")
foreach(file IN LISTS files)
  get_filename_component(dir "${file}" DIRECTORY)
  if(dir STREQUAL "")
    set(folder ".")
  else()
    string(REGEX REPLACE "/.*" "" folder "${dir}")
  endif()
  list(FIND layers "${folder}" own)
  if(own EQUAL -1)
    string(APPEND failures "  ${file}: folder '${folder}' has no place in the layer list\n")
    continue()
  endif()
  file(STRINGS "${CORE_DIR}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" target "${line}")
    # As the compiler looks: next to the file first, then from the core root.
    if(NOT dir STREQUAL "" AND EXISTS "${CORE_DIR}/${dir}/${target}")
      set(path "${dir}/${target}")
    elseif(EXISTS "${CORE_DIR}/${target}")
      set(path "${target}")
    else()
      continue()  # generated, or outside the core
    endif()
    if(path MATCHES "/")
      string(REGEX REPLACE "/.*" "" included "${path}")
    else()
      set(included ".")
    endif()
    list(FIND layers "${included}" layer)
    if(layer GREATER own)
      string(APPEND failures "  ${file} includes ${target} ('${folder}' is below '${included}')\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Core folders included against their order:\n${failures}")
endif()
message(STATUS "Core folders depend on each other one way only (${layers})")
