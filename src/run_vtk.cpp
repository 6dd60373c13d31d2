#include "run_vtk.h"

#include <new>
#include <string>
#include <string_view>

#include "mesh/mesh.h"
#include "process/process.h"
#include "readback/read_mesh_files.h"
#include "system/error.h"
#include "system/run_error.h"
#include "vtk/vtu.h"

namespace malha {
namespace {

constexpr std::string_view kUsage =
    "usage: malha-vtk [folder]\n"
    "Reads dados.ent, conectividades.ent and baricentros.ent from the folder (the current\n"
    "one by default) and writes the mesh there as malha.vtu, a VTK unstructured grid.\n";

constexpr const char* kVtuFile = "malha.vtu";

void write_out(int stream, std::string_view text) {
  process::write_console(stream, text.data(), text.size());
}

// The report of a folder without dados.ent also says where the files come
// from, as a stuck user needs; every other report stays as the library made it.
Error with_origin(const Error& error) {
  if (error.code() != "F4004" || !error.operation().ends_with("dados.ent)")) return error;
  return Error(error.code(), error.operation(),
               error.description() + "; the files come from a run of malha in that folder");
}

}  // namespace

int run_vtk(int argc, const char* const* argv) {
  process::prepare_process();
  const std::string_view argument = argc > 1 ? argv[1] : "";
  if (argument == "-h" || argument == "--help") {
    write_out(process::kStdout, kUsage);
    return 0;
  }
  if (argc > 2 || (argc == 2 && argument.empty())) {
    write_out(process::kStderr, kUsage);
    return 1;
  }
  const std::string folder(argument);

  try {
    Mesh mesh;
    read_mesh_files(mesh, folder);
    const std::string grid = path_in(folder, kVtuFile);
    // Every volume over every node, with the mesh's tables.
    write_vtu(mesh, grid, {}, {.include_fictitious = true, .include_tables = true});
    write_out(process::kStdout, grid + ": " +
                                     std::to_string(mesh.n_nodes) + " points, " +
                                     std::to_string(mesh.n_volumes) + " cells\n");
  } catch (const Error& error) {
    write_out(process::kStderr, with_origin(error).what());
    return 1;
  } catch (const std::bad_alloc&) {
    write_out(process::kStderr, error_for(RunError::allocate).what());
    return 1;
  }
  return 0;
}

}  // namespace malha
