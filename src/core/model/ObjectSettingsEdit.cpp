#include "model/ObjectSettingsEdit.h"

#include "base/Cp1251.h"
#include "model/ObjectRecord.h"

namespace {

std::string JoinIdsAndNames(const std::string& head,
                            const std::vector<const ObjectRecord*>& objects) {
    std::string text = head;
    for (const ObjectRecord* object : objects) {
        text += object->id;
        text += '-';
        text += object->name;
        text += ", ";
    }
    if (!objects.empty()) {
        text.resize(text.size() - 2);
    }
    return text;
}

}  // namespace

ObjectSettingsEdit ObjectSettingsEdit::ForSelection(const std::vector<const ObjectRecord*>& objects,
                                                    DateTime globalFirstTimeout,
                                                    DateTime globalSecondTimeout) {
    ObjectSettingsEdit edit;
    if (objects.empty()) {
        edit.firstTimeout = globalFirstTimeout;
        edit.secondTimeout = globalSecondTimeout;
        return edit;
    }
    const ObjectRecord& first = *objects.front();
    edit.flags = first.alertSettings;
    for (std::size_t i = 1; i < objects.size(); ++i) {
        const ObjectRecord& previous = *objects[i - 1];
        const ObjectRecord& current = *objects[i];
        if (!(previous.firstTimeout == current.firstTimeout) ||
            !(previous.secondTimeout == current.secondTimeout)) {
            edit.mixed = true;
        }
        for (int f = 0; f < AlertSettings::kCount; ++f) {
            if (previous.alertSettings[f] != current.alertSettings[f]) {
                edit.mixed = true;
                edit.flags[f] = kMixed;
            }
        }
    }
    if (edit.mixed) {
        edit.firstTimeout = globalFirstTimeout;
        edit.secondTimeout = globalSecondTimeout;
    } else {
        edit.firstTimeout = first.firstTimeout;
        edit.secondTimeout = first.secondTimeout;
    }
    return edit;
}

std::string ObjectSettingsEdit::BuildCaption(const std::vector<const ObjectRecord*>& objects) {
    return JoinIdsAndNames(W("Панель управления - "), objects);
}

bool ObjectSettingsEdit::ApplyTo(ObjectRecord& object) const {
    if (firstTimeoutChanged) {
        object.firstTimeout = firstTimeout;
    }
    if (secondTimeoutChanged) {
        object.secondTimeout = secondTimeout;
    }
    for (int f = 0; f < AlertSettings::kCount; ++f) {
        if (flags[f] == 0 || flags[f] == 1) {
            object.alertSettings[f] = flags[f];
        }
    }
    if (resetPath) {
        object.pathMetres = 0;
        object.zonePathMetres = 0;
        object.dayPathMetres = 0;
    }
    return resetPath;
}
