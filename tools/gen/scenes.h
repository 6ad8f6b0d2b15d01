// The two 3D scenes: scene 1, a night city seen from above that the camera
// keeps flying away from, with two light objects and a hinged roof hatch on
// its central tower; scene 2, a nine-sided gem in an engraved ring, drawn as
// four small tumbling copies. Writes OBJ, MTL and TGA files.
#pragma once

#include <string>

bool write_scenes(const std::string& dir);
