// cedar_replay --png: the screen rendered as the terminal widget paints it,
// on Qt's offscreen platform.
#pragma once

#include <string>

#include "display/overlays.h"
#include "screen/presentation_space.h"

namespace cedar::replay {

// Writes the PNG; false (with a message in `error`) when it cannot.
bool writeScreenPng(const PresentationSpace& ps, display::CellSize cell, const std::string& path,
                    std::string& error);

}  // namespace cedar::replay
