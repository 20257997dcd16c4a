#include "layout/qr_layout.h"

namespace qrd {

CQRLayout::CType::~CType() = default;

std::unique_ptr<CQRLayout::CType> CQRLayout::CHardware::Clone() const {
    return std::make_unique<CHardware>(*this);
}
std::unique_ptr<CQRLayout::CType> CQRLayout::CAmplifier::Clone() const {
    return std::make_unique<CAmplifier>(*this);
}
std::unique_ptr<CQRLayout::CType> CQRLayout::CMea::Clone() const {
    return std::make_unique<CMea>(*this);
}

CQRLayout::CAvailTypes::~CAvailTypes() = default;

CQRLayout::CAvailTypes::CAvailTypes(const CAvailTypes& other) {
    types_.reserve(other.types_.size());
    for (const auto& t : other.types_) types_.push_back(t->Clone());
}

CQRLayout::CAvailTypes& CQRLayout::CAvailTypes::operator=(const CAvailTypes& other) {
    if (this != &other) {
        // Build the copy first so a failed clone leaves this list as it was.
        CAvailTypes copy(other);
        types_.swap(copy.types_);
    }
    return *this;
}

CQRLayout::~CQRLayout() = default;

void CQRLayout::CopyFrom(const CQRLayout& other) {
    if (this != &other) *this = other;
}

}  // namespace qrd
