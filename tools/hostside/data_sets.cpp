#include "data_sets.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace cedar::hostside {

namespace {

std::optional<std::vector<std::uint8_t>> readBytes(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, bool append) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

bool plainFileName(const std::string& name) {
    if (name.empty() || name == "." || name.find("..") != std::string::npos) return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

bool DataSetStore::acceptsName(const std::string& name) const {
    return folder_.empty() || plainFileName(name);
}

bool DataSetStore::put(const std::string& name, DataSet set) {
    std::lock_guard lock(mutex_);
    if (!folder_.empty()) return plainFileName(name) && writeBytes(path(name), set.bytes, false);
    sets_[name] = std::move(set);
    return true;
}

bool DataSetStore::append(const std::string& name, const DataSet& set) {
    std::lock_guard lock(mutex_);
    if (!folder_.empty()) return plainFileName(name) && writeBytes(path(name), set.bytes, true);
    DataSet& target = sets_[name];
    target.bytes.insert(target.bytes.end(), set.bytes.begin(), set.bytes.end());
    target.options = set.options;
    return true;
}

std::optional<DataSet> DataSetStore::get(const std::string& name) const {
    std::lock_guard lock(mutex_);
    if (!folder_.empty()) {
        if (!plainFileName(name)) return std::nullopt;
        auto bytes = readBytes(path(name));
        if (!bytes) return std::nullopt;
        return DataSet{std::move(*bytes), {}};
    }
    const auto it = sets_.find(name);
    if (it == sets_.end()) return std::nullopt;
    return it->second;
}

bool DataSetStore::erase(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (!folder_.empty()) {
        std::error_code error;
        return plainFileName(name) && std::filesystem::remove(path(name), error);
    }
    return sets_.erase(name) != 0;
}

std::vector<std::string> DataSetStore::names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    if (!folder_.empty()) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error))
            if (entry.is_regular_file(error)) out.push_back(entry.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    for (const auto& [name, set] : sets_)
        out.push_back(name);
    return out;
}

}  // namespace cedar::hostside
