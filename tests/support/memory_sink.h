// An in-memory file store and a fixed clock for tests that trace.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/trace.h"

namespace cedar::test {

using ByteVector = std::vector<std::uint8_t>;

class MemorySink : public TraceSink {
  public:
    std::map<std::string, ByteVector> files;
    std::map<std::string, int> creates;
    int appends = 0;
    bool failCreate = false;
    int errorCode = 0;

    bool create(const std::string& name) override {
        if (failCreate) {
            errorCode = 13;
            return false;
        }
        ++creates[name];
        files[name].clear();
        return true;
    }
    bool append(const std::string& name, Bytes bytes) override {
        auto it = files.find(name);
        if (it == files.end()) return false;
        ++appends;
        it->second.insert(it->second.end(), bytes.begin(), bytes.end());
        return true;
    }
    int lastError() const override { return errorCode; }

    bool has(const std::string& name) const { return files.count(name) != 0; }
    const ByteVector& file(const std::string& name) const { return files.at(name); }
};

class FixedClock : public TraceClock {
  public:
    std::string text = "12:34:56";
    std::string timeText() override { return text; }
};

// A copy of the bytes in a heap buffer of exactly their size, so that a read
// past the end is caught by AddressSanitizer.
struct ExactBuffer {
    explicit ExactBuffer(const ByteVector& bytes)
        : data(std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1))),
          size(bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    Bytes span() const { return Bytes(data.get(), size); }
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size;
};

inline ByteVector bytesOf(const std::string& text) {
    return ByteVector(text.begin(), text.end());
}

inline ByteVector cat(std::initializer_list<ByteVector> parts) {
    ByteVector out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline ByteVector le16(std::size_t v) {
    return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF)};
}

}  // namespace cedar::test
