#include "ui/render/ImageData.h"

namespace SkinUI {

ImageData::~ImageData()
{
    if (bitmap) ::DeleteObject(bitmap);
}

}  // namespace SkinUI
