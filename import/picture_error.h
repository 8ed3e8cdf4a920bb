// How far the machine's picture is from the source, as the eye sees it:
// both at the screen's size in hi-res pixels, blurred by a Gaussian of
// sigma 1 pixel, in OKLab; 100 times the mean Euclidean distance.
#ifndef QDPEXT_IMPORT_PICTURE_ERROR_H_
#define QDPEXT_IMPORT_PICTURE_ERROR_H_

#include "import/source_picture.h"
#include "view/image.h"

namespace qdp::import {

// `machine_picture` is LineWidth x 8 by 240 pixels; a half-width source is
// taken with each pixel doubled. Pictures of different sizes are compared
// over the part both cover.
double PictureError(const SourcePicture& source, const view::IndexedImage& machine_picture);

}  // namespace qdp::import

#endif  // QDPEXT_IMPORT_PICTURE_ERROR_H_
