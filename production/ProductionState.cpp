#include "production/ProductionState.h"

#include "production/Records.h"

namespace orvan {

std::unique_ptr<TOpInputExtension> TProductionInput::Clone() const {
    return std::make_unique<TProductionInput>(*this);
}

std::unique_ptr<IRunRecord> TProductionInput::NewRunRecord(TOperationContext& ctx,
                                                           const char* operation) {
    if (!Records) return nullptr;
    return std::make_unique<TRunRecorder>(ctx, operation);
}

TProductionState& ProductionIn(TOperationInput& in) {
    if (auto* p = dynamic_cast<TProductionInput*>(in.Extension.Get())) return *p;
    auto made = std::make_unique<TProductionInput>();
    TProductionState& state = *made;
    in.Extension.Set(std::move(made));
    return state;
}

void CommitProduction(TOpDialog& dialog, std::function<void(IProductionTarget&)> apply) {
    dialog.Commit([apply = std::move(apply)](IOpTarget& target) {
        apply(dynamic_cast<IProductionTarget&>(target));
    });
}

} // namespace orvan
