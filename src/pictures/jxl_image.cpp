#include "pictures/jxl_image.h"
