#include "model/DataStore.h"

#include "model/TextUtil.h"
#include "platform/Platform.h"

CDataStore::CDataStore(std::string folder) : dataFolder(std::move(folder)) {}

void CDataStore::AppendObject() { objects_.emplace_back(); }

void CDataStore::ClearObjects() {
    objects_.clear();
    objectCount = 0;
}

int CDataStore::FindObjectById(const std::string& id) const {
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).id == id) return i;
    }
    return -1;
}

int CDataStore::FindObjectByNumber(int32_t number) const {
    for (int i = 0; i < objectCount; ++i) {
        if (Object(i).Number() == number) return i;
    }
    return -1;
}

std::string CDataStore::FilePath(const char* fileName) const {
    return dataFolder + Platform::kSeparator + fileName;
}
