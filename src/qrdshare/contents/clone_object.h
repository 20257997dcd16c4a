// Base of the recording application's tool settings value classes.  It holds
// no data; its only operation besides destruction is Clone, which every
// settings class implements to hand out an independent copy of itself.
#pragma once

#include <memory>

#include "contents/info_object.h"

namespace qrd {

class CMCloneObject : public InfoObject {
public:
    ~CMCloneObject() override = default;
    // A new object of the same class with equal fields; the caller owns it.
    virtual CMCloneObject* Clone() const = 0;

protected:
    using InfoObject::InfoObject;
    CMCloneObject(const CMCloneObject&) = default;
    CMCloneObject& operator=(const CMCloneObject&) = default;
};

}  // namespace qrd
