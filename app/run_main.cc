#include "app/run_main.h"

#include <zlib.h>

#include <exception>
#include <new>

#include "app/command_line.h"
#include "app/run_job.h"
#include "convert/conversion_failure.h"
#include "platform/path.h"

namespace qdp {
namespace {

int Report(std::FILE* out, std::FILE* err, const std::string& module, ErrorKind kind,
           uint32_t address, const std::string& reason) {
  std::fflush(out);
  std::string report = FormatErrorReport(ErrorKindName(kind), module, address, reason);
  std::fwrite(report.data(), 1, report.size(), err);
  std::fflush(err);
  return kExitError;
}

}  // namespace

uint32_t ErrorAddress(const ThrowSite& site) {
  std::string file = BaseName(site.File != nullptr ? site.File : "");
  uint32_t file_code = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(file.size())));
  return (file_code & 0xFFFF0000u) | (static_cast<uint32_t>(site.Line) & 0xFFFFu);
}

std::string FormatErrorReport(const std::string& kind, const std::string& module, uint32_t address,
                              const std::string& reason) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", address);
  std::string text = "Exception " + kind + " in module " + module + " at " + hex + ".\r\n";
  text += reason;
  if (reason.empty() || reason.back() != '.') text += '.';
  text += "\r\n\r\n";
  return text;
}

int RunMain(const std::vector<std::string>& argv, Workspace& ws, FileSystem& fs, std::FILE* out,
            std::FILE* err) {
  return RunMainWith(argv, fs, out, err,
                     [&ws, &fs](const Options& options) { RunJob(options, ws, fs); });
}

int RunMainWith(const std::vector<std::string>& argv, FileSystem& fs, std::FILE* out,
                std::FILE* err, const Job& job) {
  std::string module = argv.empty() || argv[0].empty() ? "qdpext" : BaseName(argv[0]);
  try {
    std::vector<std::string> args;
    if (!argv.empty()) args.assign(argv.begin() + 1, argv.end());
    std::optional<Options> options = ParseCommandLine(args, fs);
    if (!options) {
      PrintUsage(out);
      return kExitUsage;
    }
    job(*options);
    std::fflush(out);
    return kExitDone;
  } catch (const ConversionFailed& failure) {
    std::fputs(failure.what(), out);
    std::fputs("\r\n", out);
    std::fflush(out);
    return kExitConversionFailed;
  } catch (const RunError& error) {
    return Report(out, err, module, error.Kind(), ErrorAddress(error.Site()), error.Reason());
  } catch (const std::bad_alloc&) {
    return Report(out, err, module, ErrorKind::kOutOfMemory, 0, "Out of memory");
  } catch (const std::exception& error) {
    return Report(out, err, module, ErrorKind::kInternal, 0, error.what());
  }
}

}  // namespace qdp
