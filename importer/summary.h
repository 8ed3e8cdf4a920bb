// What qdpimport reports about one picture, and its two forms: readable
// text in qdpview's style and one line of JSON.
#ifndef QDPEXT_IMPORTER_SUMMARY_H_
#define QDPEXT_IMPORTER_SUMMARY_H_

#include <optional>
#include <string>

#include "import/import_picture.h"

namespace qdp::importer {

struct PictureReport {
  std::string Picture;  // as named on the command line
  std::string Project;  // the file written, once it is

  // Known once the picture is decoded.
  bool Decoded = false;
  int PictureWidth = 0;  // as decoded
  int PictureHeight = 0;
  bool Fitted = false;  // scaled to the screen (--fit)

  // Known once it is imported.
  bool Imported = false;
  int LineWidth = 0;  // cells
  import::ImportReport Import;
  int FontBudget = 0;  // 0: none
  int MaxChanges = 0;  // the bound the import kept

  double Milliseconds = 0;           // reading, importing and writing
  std::optional<std::string> Error;  // why the picture failed
};

// The summary as text lines, each ended by "\n".
std::string FormatText(const PictureReport& report);

// One JSON object on one line, without the line end.
std::string FormatJson(const PictureReport& report);

}  // namespace qdp::importer

#endif  // QDPEXT_IMPORTER_SUMMARY_H_
