// The session's remote-action files on disk: "cdr$x$exec.mac" in the folder
// for temporary macro files and "cdr$x$prnt.txt" in the folder for print
// files (x the session id). Completing closes the file and hands its path on.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "screen/remote_action.h"

namespace cedar::platform {

class RemoteActionFiles : public RemoteActionStore {
  public:
    using Completion = std::function<void(RemoteActionKind, const std::string& path)>;

    RemoteActionFiles(std::string macroFolder, std::string printFolder, char sessionId);
    ~RemoteActionFiles() override;
    RemoteActionFiles(const RemoteActionFiles&) = delete;
    RemoteActionFiles& operator=(const RemoteActionFiles&) = delete;

    std::string path(RemoteActionKind kind) const;
    // What to do with a completed file (print it, run it).
    void setCompletion(Completion completion) { completion_ = std::move(completion); }

    bool create(RemoteActionKind kind) override;
    bool append(Bytes data, std::string& error) override;
    void complete(RemoteActionKind kind) override;

  private:
    void close();

    std::string macroFolder_;
    std::string printFolder_;
    char sessionId_;
    std::FILE* file_ = nullptr;
    Completion completion_;
};

}  // namespace cedar::platform
