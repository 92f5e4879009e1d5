# Makes the tape boot snapshots in the libs folder beside the programs: for each model whose ROM
# is in the roms folder, orvo-run boots it to its tape loader and saves a version 3 Z80 there.
# A model without its ROM gets no snapshot ("Autoload" then inserts tapes without one).
# Arguments: RUN (orvo-run), ROMS (roms folder), LIBS (libs folder).
set(models 48 128 plus2 plus3)
set(roms 48k.rom 128k.rom plus2.rom plus3.rom)
set(snapshots tape_48.z80 tape_128.z80 tape_plus2.z80 tape_plus3.z80)
file(MAKE_DIRECTORY ${LIBS})
foreach(i RANGE 3)
  list(GET models ${i} model)
  list(GET roms ${i} rom)
  list(GET snapshots ${i} snapshot)
  set(out ${LIBS}/${snapshot})
  if(NOT EXISTS ${ROMS}/${rom})
    file(REMOVE ${out})
    continue()
  endif()
  if(EXISTS ${out} AND NOT ${ROMS}/${rom} IS_NEWER_THAN ${out} AND NOT ${RUN} IS_NEWER_THAN ${out})
    continue()
  endif()
  execute_process(
    COMMAND ${RUN} --model ${model} --rom-dir ${ROMS} --make-tape-boot ${out}
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    file(REMOVE ${out})
    message(WARNING "No tape boot snapshot for ${rom}: ${err}")
  endif()
endforeach()

# The +3 also gets the disk boot snapshot "Disk autoload" loads: its Loader started, the drive
# motor on.
set(out ${LIBS}/disk_plus3.z80)
if(NOT EXISTS ${ROMS}/plus3.rom)
  file(REMOVE ${out})
elseif(NOT EXISTS ${out} OR ${ROMS}/plus3.rom IS_NEWER_THAN ${out} OR ${RUN} IS_NEWER_THAN ${out})
  execute_process(
    COMMAND ${RUN} --model plus3 --rom-dir ${ROMS} --make-disk-boot ${out}
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    file(REMOVE ${out})
    message(WARNING "No disk boot snapshot for plus3.rom: ${err}")
  endif()
endif()
