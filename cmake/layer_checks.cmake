# Checks that the layers hold: for each library, a one-line file that includes a header of a layer
# above it must fail to compile, and one that includes a header of its own or a lower layer must
# compile. Each probe is a target left out of the normal build; its test builds it.
set(ORVO_PROBE_DIR ${CMAKE_BINARY_DIR}/layer_probes)
file(MAKE_DIRECTORY ${ORVO_PROBE_DIR})

# orvo_layer_probe(<name> <library> <header> <PASS|FAIL>)
function(orvo_layer_probe name library header expect)
  # A probe that fails only because its header is gone would prove nothing.
  if(NOT EXISTS ${CMAKE_SOURCE_DIR}/src/core/${header} AND NOT EXISTS ${CMAKE_SOURCE_DIR}/src/${header})
    message(FATAL_ERROR "layer probe ${name}: no header ${header} in src/core or src")
  endif()
  set(src ${ORVO_PROBE_DIR}/${name}.cpp)
  file(WRITE ${src} "#include \"${header}\"\n")
  add_library(orvo_probe_${name} OBJECT EXCLUDE_FROM_ALL ${src})
  target_link_libraries(orvo_probe_${name} PRIVATE ${library})
  add_test(NAME Layers.${name}
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target orvo_probe_${name})
  set_tests_properties(Layers.${name} PROPERTIES RESOURCE_LOCK orvo_build_tree)
  if(expect STREQUAL "FAIL")
    set_tests_properties(Layers.${name} PROPERTIES WILL_FAIL TRUE)
  endif()
endfunction()

orvo_layer_probe(CpuSeesOnlyCpu orvo_cpu cpu/z80.h PASS)
orvo_layer_probe(CpuCannotSeeMachine orvo_cpu machine/machine_state.h FAIL)
orvo_layer_probe(FormatsCannotSeeMachine orvo_formats machine/machine_state.h FAIL)
orvo_layer_probe(MachineSeesCpu orvo_machine cpu/z80.h PASS)
orvo_layer_probe(MachineSeesItself orvo_machine machine/machine_state.h PASS)
orvo_layer_probe(MachineCannotSeeShell orvo_machine shell/emulator.h FAIL)
orvo_layer_probe(MachineCannotSeeHost orvo_machine host/sdl_audio.h FAIL)
orvo_layer_probe(ShellSeesMachine orvo_shell shell/emulator.h PASS)
orvo_layer_probe(ShellCannotSeeHost orvo_shell host/png_writer.h FAIL)
if(TARGET orvo_ui)
  orvo_layer_probe(HostCannotSeeUi orvo_host ui/main_window.h FAIL)
endif()
