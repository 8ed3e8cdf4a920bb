#include "load/load_path.h"

#include "convert/reconstruct.h"
#include "convert/render.h"
#include "project/reader.h"

namespace qdp {

void LoadDrawAndRebuild(Workspace& ws, FileSystem& fs, const std::string& input,
                        const DrawnHook& drawn) {
  LoadProject(ws, fs, input);
  RenderScreen(ws);
  if (drawn) drawn(ws);
  ReconstructCharset(ws);
}

}  // namespace qdp
