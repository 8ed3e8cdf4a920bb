// The demo project: an Atari 8-bit character-mode picture of the kind
// users make, using every line mode. A hi-res title, a sunset over the sea
// in four-colour lines whose colours change on every scanline (the boat's
// cells are inverse, so that their fourth colour is PF3), a band of GTIA
// pixels, hi-res footer lines and blank lines between them. The picture
// lines are stored one font per line, as a paint program leaves them, so
// that the conversion rebuilds them into shared characters.
#ifndef QDPEXT_EXAMPLES_DEMO_PICTURE_H_
#define QDPEXT_EXAMPLES_DEMO_PICTURE_H_

#include "tests/support/project_builder.h"

namespace qdp::demo {

testing::ProjectContent DemoProject();

}  // namespace qdp::demo

#endif  // QDPEXT_EXAMPLES_DEMO_PICTURE_H_
