#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

class CDataStore;

// Tables of the store's objects by id text and by number, for the loaders that look up
// one object per file record. Answers exactly as FindObjectById and FindObjectByNumber
// (the first object in index order wins) and stays valid until objects are added,
// removed, sorted or renumbered.
class CObjectIndex {
public:
    explicit CObjectIndex(const CDataStore& store);
    int ById(const std::string& id) const;
    int ByNumber(int32_t number) const;

private:
    std::unordered_map<std::string, int> byId_;
    std::unordered_map<int32_t, int> byNumber_;
};
