// The demo project: a framed screen with a title, text in the demo's own
// font (some of it inverse) and an area of shapes drawn pixel by pixel,
// stored so that the conversion rebuilds it into shared characters.
#ifndef QDPEXT_EXAMPLES_DEMO_PICTURE_H_
#define QDPEXT_EXAMPLES_DEMO_PICTURE_H_

#include "tests/support/project_builder.h"

namespace qdp::demo {

testing::ProjectContent DemoProject();

}  // namespace qdp::demo

#endif  // QDPEXT_EXAMPLES_DEMO_PICTURE_H_
