#pragma once
// Orvo's optional parts that pull in large libraries (the movie encoder and FFmpeg, the shader
// renderer and Qt's GUI and OpenGL) are modules, shared libraries loaded when first needed, so a
// run without them starts without loading those libraries at all.
//
// Where a module is looked for, in order: beside the running program (the build tree, or a folder
// the user unpacked), the installed tree's <prefix>/<libdir>/orvo/ beside its bin/, then the build
// tree's own output path, so programs built elsewhere in the tree find it too. The first of those
// files that exists is the one loaded: a module that is present but broken is reported as such
// rather than silently replaced by another. A loaded module stays loaded for the rest of the run
// (the libraries it brings do not expect to be unloaded).
#include <string>

namespace orvo {

struct ModuleLoad {
  const void* table = nullptr;  // what the module's entry function returned
  std::string error;            // why `table` is null
};

// Loads `file` and calls its C function `entry` (`const void* entry()`, exactly that type: the
// call goes through a pointer of it) for the module's table, whose first
// member is an int holding the table's version: a table of another version is refused. Errors
// read "<prefix>cannot find <name> <file> (looked for ...)", "<prefix>cannot load <name> <path>
// (<reason>)" and "<prefix><name> <path> does not belong to this version of Orvo".
ModuleLoad LoadModule(const char* file, const char* entry, int version, const char* buildPath,
                      const std::string& prefix, const std::string& name);

}  // namespace orvo
