#pragma once

#include "platform/Export.h"
#include <QImage>
#include <cstdint>

namespace LARKHILL_API Larkhill {

/**
 * Picture handles as the command hands them to its host: a non-zero 32-bit
 * number that stays valid while the component is loaded. A host turns the
 * handle back into the picture to put it on its button.
 */
namespace PictureHandles {

/** Keeps the picture and returns its new handle (never 0). */
int32_t add(const QImage& picture);
/** Returns the picture of a handle, or a null image for an unknown handle. */
QImage picture(int32_t handle);
/** Forgets every picture (when the component unloads); later handles are new numbers. */
void clear();

} // namespace PictureHandles

} // namespace Larkhill
