// Fuzz target: arbitrary bytes as a project file, through the whole job
// (load, render, rebuild the charset, write all five side files).
// Containers are left to container_fuzzer: a mutated stream here can
// decode to hundreds of megabytes, which would slow every plain run.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/job_runner.h"
#include "fuzz/sandbox.h"
#include "project/project_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= qdp::kContainerMagic.size() &&
      std::memcmp(data, qdp::kContainerMagic.data(), qdp::kContainerMagic.size()) == 0) {
    return -1;
  }
  qdp::fuzz::Sandbox& sandbox = qdp::fuzz::Sandbox::Get();
  qdp::fuzz::RunJobInSandbox(sandbox, "job", "", data, size);
  return 0;
}
