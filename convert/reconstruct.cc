#include "convert/reconstruct.h"

namespace qdp {

void ReconstructCharset(Workspace&) {}

}  // namespace qdp
