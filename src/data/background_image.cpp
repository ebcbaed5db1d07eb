#include "data/background_image.h"

namespace Velmora {

BackgroundImageRecord BackgroundImage;

} // namespace Velmora
