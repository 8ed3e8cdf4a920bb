#include "workspace/workspace.h"

namespace qdp {

void BuildTables(Workspace& ws) {
  for (int i = 0; i < 256; ++i) ws.RowOffsetTable[i] = static_cast<uint16_t>(i * kRowStride);
  for (uint32_t e = 0; e < 256; ++e) {
    uint32_t value = e;
    for (int step = 0; step < 8; ++step)
      value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    ws.Crc32Table[e] = value;
  }
}

}  // namespace qdp
