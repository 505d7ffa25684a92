/* scene_areas.cpp - city blocks, parks and water. */
#include "scenes.h"

namespace navdemo {

void draw_areas(CCEDraw&) {}

}  // namespace navdemo
