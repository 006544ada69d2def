#include "data_sets.h"

namespace cedar::hostside {

void DataSetStore::put(const std::string& name, DataSet set) {
    std::lock_guard lock(mutex_);
    sets_[name] = std::move(set);
}

void DataSetStore::append(const std::string& name, const DataSet& set) {
    std::lock_guard lock(mutex_);
    DataSet& target = sets_[name];
    target.bytes.insert(target.bytes.end(), set.bytes.begin(), set.bytes.end());
    target.options = set.options;
}

std::optional<DataSet> DataSetStore::get(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto it = sets_.find(name);
    if (it == sets_.end()) return std::nullopt;
    return it->second;
}

bool DataSetStore::erase(const std::string& name) {
    std::lock_guard lock(mutex_);
    return sets_.erase(name) != 0;
}

std::vector<std::string> DataSetStore::names() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [name, set] : sets_)
        out.push_back(name);
    return out;
}

}  // namespace cedar::hostside
