// Remote print and remote macro data: the host sends text in structured
// fields (ID 0x0F, type 0x1F) for the PC to print or to run as a macro. The
// data is kept in a file of the session until the next Erase/Write, which
// closes the file and prints it or starts it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "screen/record_hooks.h"

namespace cedar {

enum class RemoteActionKind : std::uint8_t { PcPrint, Macro };

// Where the data goes. The default keeps nothing and never fails.
class RemoteActionStore {
  public:
    virtual ~RemoteActionStore() = default;
    // Creates the session's file for the action (replacing an old one);
    // false when it cannot be created.
    virtual bool create(RemoteActionKind /*kind*/) { return true; }
    // Appends display-code data; false, with the system's error text in
    // `error`, when the write fails.
    virtual bool append(Bytes /*data*/, std::string& /*error*/) { return true; }
    // Closes the file, then prints it or starts it as a macro.
    virtual void complete(RemoteActionKind /*kind*/) {}
};

// The session's files: "cdr$x$exec.mac" in the folder for temporary macro
// files and "cdr$x$prnt.txt" in the folder for print files, x being the
// session id. Completing closes the file and hands its path on.
class RemoteActionFiles : public RemoteActionStore {
  public:
    using Completion = std::function<void(RemoteActionKind, const std::string& path)>;

    RemoteActionFiles(std::string macroFolder, std::string printFolder, char sessionId);
    ~RemoteActionFiles() override;
    RemoteActionFiles(const RemoteActionFiles&) = delete;
    RemoteActionFiles& operator=(const RemoteActionFiles&) = delete;

    static std::string fileName(RemoteActionKind kind, char sessionId);
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

}  // namespace cedar
