// The program's help file as Help buttons reach it: a topic is opened by its
// address, "FILE::/PAGE" or "FILE::/PAGE#ANCHOR".
#pragma once

#include <string>

namespace cedar {

class HelpViewer {
  public:
    virtual ~HelpViewer() = default;
    // Opens the topic; false when nothing was opened.
    virtual bool openTopic(const std::string& topic) = 0;
};

}  // namespace cedar
