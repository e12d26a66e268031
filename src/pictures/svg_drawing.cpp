#include "pictures/svg_drawing.h"
