#include "model/ObjectRecord.h"

#include "model/TextUtil.h"

int32_t ObjectRecord::Number() const {
    return TextUtil::LeadingInt(id);
}
