#include "pictures/heif_image.h"
