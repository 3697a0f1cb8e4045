#include "model/ZoneAssignmentEdit.h"

#include <algorithm>
#include <utility>

#include "base/Cp1251.h"
#include "model/ObjectRecord.h"

ZoneAssignmentEdit ZoneAssignmentEdit::ForSelection(
    const std::vector<const ObjectRecord*>& objects) {
    ZoneAssignmentEdit edit;
    edit.title = W("Контрольные районы - ");
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const ObjectRecord& object = *objects[i];
        edit.title += object.id;
        edit.title += '-';
        edit.title += object.name;
        edit.title += ", ";
        if (i > 0 && object.zoneAssignment.DiffersFrom(objects[i - 1]->zoneAssignment)) {
            edit.differed = true;
        }
    }
    if (!objects.empty()) {
        edit.title.resize(edit.title.size() - 2);
        if (!edit.differed) {
            edit.initial = objects.back()->zoneAssignment;
        }
    }
    return edit;
}

// Both lists are ordered with the same exchange procedure: it never swaps equal names,
// so zones of one name keep a predictable order.
std::vector<std::string> ZoneAssignmentEdit::SortedZoneNames(const ZoneNameList& zones) {
    std::vector<std::string> names = zones.Names();
    for (std::size_t j = 0; j < names.size(); ++j) {
        for (std::size_t k = j + 1; k < names.size(); ++k) {
            if (Cp1251::Compare(names[k], names[j]) < 0) {
                std::swap(names[j], names[k]);
            }
        }
    }
    return names;
}

std::vector<ZoneAssignmentEdit::Entry> ZoneAssignmentEdit::SortedEntries(
    const ZoneAssignment& assignment, const ZoneNameList& zones) {
    std::vector<Entry> entries;
    const std::size_t n = assignment.count <= 0
                              ? 0
                              : std::min({static_cast<std::size_t>(assignment.count),
                                          assignment.roles.size(), assignment.zones.size()});
    for (std::size_t i = 0; i < n; ++i) {
        const int32_t zone = assignment.zones[i];
        if (zone < 0 || zone >= zones.Count()) {
            continue;
        }
        entries.push_back(Entry{zones.Name(zone), zone, assignment.roles[i]});
    }
    for (std::size_t j = 0; j < entries.size(); ++j) {
        for (std::size_t k = j + 1; k < entries.size(); ++k) {
            if (Cp1251::Compare(entries[j].name, entries[k].name) > 0) {
                std::swap(entries[j], entries[k]);
            }
        }
    }
    return entries;
}
