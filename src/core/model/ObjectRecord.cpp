#include "model/ObjectRecord.h"

#include "base/TextUtil.h"

int32_t ObjectRecord::Number() const {
    return TextUtil::LeadingInt(id);
}
