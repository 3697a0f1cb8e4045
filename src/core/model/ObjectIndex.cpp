#include "model/ObjectIndex.h"

#include "model/DataStore.h"

CObjectIndex::CObjectIndex(const CDataStore& store) {
    // The lookups stop at objectCount, and so do the tables.
    const int n = store.objectCount;
    byId_.reserve(static_cast<std::size_t>(n > 0 ? n : 0));
    byNumber_.reserve(static_cast<std::size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) {
        const ObjectRecord& o = store.Object(i);
        // emplace keeps the entry already there: the first object of an id or number.
        byId_.emplace(o.id, i);
        byNumber_.emplace(o.Number(), i);
    }
}

int CObjectIndex::ById(const std::string& id) const {
    const auto found = byId_.find(id);
    return found == byId_.end() ? -1 : found->second;
}

int CObjectIndex::ByNumber(int32_t number) const {
    const auto found = byNumber_.find(number);
    return found == byNumber_.end() ? -1 : found->second;
}
