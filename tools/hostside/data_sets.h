// The host's "data sets": what an IND$FILE upload stored under a name, and
// what a download sends. The host keeps the bytes exactly as they arrived
// (it does no ASCII-to-EBCDIC translation and no record segmentation of its
// own), together with the options the request named, so a test can see what
// the terminal sent and preload what it should receive. Shared between the
// connection threads of a host and the test that inspects it.
//
// A store made with a folder keeps each data set as a file of that folder
// (the data set name is the file name; the options are not kept), so a user
// of the demo host sees what arrived and can put files there to download.
// A name that is no plain file name (empty, ".", holding "/", "\", ".." or a
// control character) is refused, so a request never reaches outside it.
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
    DataSetStore() = default;
    // Data sets as files in `folder` (which must exist).
    explicit DataSetStore(std::string folder) : folder_(std::move(folder)) {}

    // False when the name cannot be kept (see above) or the file cannot be
    // written.
    bool put(const std::string& name, DataSet set);
    // Adds to the end of an existing data set (or creates it).
    bool append(const std::string& name, const DataSet& set);
    std::optional<DataSet> get(const std::string& name) const;
    bool erase(const std::string& name);
    std::vector<std::string> names() const;
    // Whether `name` can be kept in this store.
    bool acceptsName(const std::string& name) const;

  private:
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    mutable std::mutex mutex_;
    std::map<std::string, DataSet> sets_;
    std::string folder_;  // empty: in memory
};

// Whether `name` is a plain file name: not empty, not "." or "..", no "/",
// "\", ".." or control character in it.
bool plainFileName(const std::string& name);

}  // namespace cedar::hostside
