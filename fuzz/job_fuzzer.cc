// Fuzz target: arbitrary bytes as a project file, through the whole job
// (load, render, rebuild the charset, write all five side files).
#include <cstddef>
#include <cstdint>

#include "fuzz/job_runner.h"
#include "fuzz/sandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qdp::fuzz::Sandbox& sandbox = qdp::fuzz::Sandbox::Get();
  qdp::fuzz::RunJobInSandbox(sandbox, "job", "", data, size);
  return 0;
}
