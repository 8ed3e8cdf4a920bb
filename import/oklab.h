// Colours as the import compares them: OKLab, a space in which equal
// distances look about equally different.
#ifndef QDPEXT_IMPORT_OKLAB_H_
#define QDPEXT_IMPORT_OKLAB_H_

#include "view/image.h"

namespace qdp::import {

struct Lab {
  float L = 0;
  float A = 0;
  float B = 0;
};

inline float Distance2(const Lab& x, const Lab& y) {
  const float dl = x.L - y.L, da = x.A - y.A, db = x.B - y.B;
  return dl * dl + da * da + db * db;
}

// From sRGB channels in 0 to 255 (not necessarily whole).
Lab OkLabOf(float r, float g, float b);
inline Lab OkLabOf(const view::Rgb& c) { return OkLabOf(c.R, c.G, c.B); }

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_OKLAB_H_
