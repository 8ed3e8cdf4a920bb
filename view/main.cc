// qdpview: shows what a picture project holds as PNG previews and a
// summary, and checks that the rebuilt fonts draw the same picture.
#include <cstdio>
#include <string>
#include <vector>

#include "view/run_view.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return qdp::view::RunView(args, stdout, stderr);
}
