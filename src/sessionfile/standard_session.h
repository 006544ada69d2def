// The installation's defaults: the options of the standard session file that
// seeds a new user folder (and that the options dialog's Defaults buttons
// read back), and the folder settings file that ships beside the program.
// tools/gen_defaults writes both into data/defaults/.
#pragma once

#include <string>

#include "sessionfile/session_options.h"

namespace cedar::sessionfile {

// Model 2, port 23, no host yet, and colours that keep the four field
// classes and the eight host colours apart.
SessionOptions standardSessionOptions();

// files.ini with every folder at its default.
std::string standardFilesIni();

}  // namespace cedar::sessionfile
