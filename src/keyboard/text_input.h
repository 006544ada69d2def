// Text from outside the session (a command line, a test script) as the
// display code that CHAR key words carry.
#pragma once

#include <string>
#include <string_view>

namespace cedar::keys {

// UTF-8 to display code (Windows-1252). A character the code page lacks,
// and a malformed sequence, becomes "?"; control characters below 0x20 are
// dropped, since they are no typed characters.
std::string utf8ToDisplay(std::string_view utf8);

}  // namespace cedar::keys
