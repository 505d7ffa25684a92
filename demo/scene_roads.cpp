/* scene_roads.cpp - roads, railways, ferries and the tilted view with the route. */
#include "scenes.h"

namespace navdemo {

void draw_roads(CCEDraw&) {}
void draw_tilted_view(CCEDraw&) {}

}  // namespace navdemo
