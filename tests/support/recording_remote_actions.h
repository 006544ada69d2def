// A RemoteActionStore that keeps the data in memory and logs every call, with
// switches to make creating or appending fail.
#pragma once

#include <string>
#include <vector>

#include "screen/remote_action.h"

namespace cedar::test {

class RecordingRemoteActions : public RemoteActionStore {
  public:
    bool createOk = true;
    bool appendOk = true;
    std::vector<std::string> calls;  // "create macro", "append", "complete print", ...
    std::string data;

    bool create(RemoteActionKind kind) override {
        calls.push_back(std::string("create ") + name(kind));
        return createOk;
    }
    bool append(Bytes bytes, std::string& error) override {
        calls.emplace_back("append");
        data.append(bytes.begin(), bytes.end());
        if (!appendOk) error = "disk full";
        return appendOk;
    }
    void complete(RemoteActionKind kind) override {
        calls.push_back(std::string("complete ") + name(kind));
    }

  private:
    static const char* name(RemoteActionKind kind) {
        return kind == RemoteActionKind::Macro ? "macro" : "print";
    }
};

}  // namespace cedar::test
