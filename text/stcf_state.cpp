/* stcf_state.cpp - the one instance of the engine's work buffers. */
#include "text/stcf_state.h"

namespace kesra::stcf {

Workspace& workspace() {
    static Workspace ws;
    return ws;
}

}  // namespace kesra::stcf
