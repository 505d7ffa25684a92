/* scene_icons.cpp - icons from the demo's resource pack, drawn with alpha. */
#include "scenes.h"

namespace navdemo {

void draw_icons(CCEDraw&, const Assets&) {}

}  // namespace navdemo
