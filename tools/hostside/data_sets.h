// The host's "data sets": what an IND$FILE upload stored under a name, and
// what a download sends. The host keeps the bytes exactly as they arrived
// (it does no ASCII-to-EBCDIC translation and no record segmentation of its
// own), together with the options the request named, so a test can see what
// the terminal sent and preload what it should receive. Shared between the
// connection threads of a host and the test that inspects it.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cedar::hostside {

struct DataSet {
    std::vector<std::uint8_t> bytes;
    std::string options;  // the request's options as typed ("ASCII CRLF"), upper case
};

class DataSetStore {
  public:
    void put(const std::string& name, DataSet set);
    // Adds to the end of an existing data set (or creates it).
    void append(const std::string& name, const DataSet& set);
    std::optional<DataSet> get(const std::string& name) const;
    bool erase(const std::string& name);
    std::vector<std::string> names() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, DataSet> sets_;
};

}  // namespace cedar::hostside
