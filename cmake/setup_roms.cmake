# Fills the roms folder beside the programs: every image in the source tree's roms/ folder (the
# Amstrad images shipped with Orvo, and any the user put there), each named as it is; and the free
# OpenSE BASIC ROM as "opense.rom" when Debian's opense-basic package is installed (as "48k.rom"
# too when there is no other).
file(MAKE_DIRECTORY ${DST})
file(GLOB roms ${SRC}/*.rom ${SRC}/*.ROM)
foreach(rom ${roms})
  # Kept as they are spelled: "IF1.rom" and "MF128.rom" are looked for by those names.
  get_filename_component(name ${rom} NAME)
  file(COPY_FILE ${rom} ${DST}/${name} ONLY_IF_DIFFERENT)
endforeach()
set(opense /usr/share/spectrum-roms/opense.rom)
if(EXISTS ${opense})
  file(COPY_FILE ${opense} ${DST}/opense.rom ONLY_IF_DIFFERENT)
  if(NOT EXISTS ${SRC}/48k.rom)
    file(COPY_FILE ${opense} ${DST}/48k.rom ONLY_IF_DIFFERENT)
  endif()
elseif(NOT roms)
  message(WARNING "No ROM images: put ROMs into roms/ or install the opense-basic package")
endif()
