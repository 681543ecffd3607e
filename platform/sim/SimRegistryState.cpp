#include "platform/sim/SimRegistryState.hpp"

#include <algorithm>

namespace ampwell::platform::sim {

SimNode::SimNode(SimEntrySpec spec)
    : id(spec.id),
      className(std::move(spec.className)),
      conforms(std::move(spec.conforms)),
      parents(std::move(spec.planes)),
      propertiesFail(spec.propertiesFail),
      properties(std::move(spec.properties)) {}

bool SimNode::conformsTo(const std::string& name) const {
    return className == name || std::find(conforms.begin(), conforms.end(), name) != conforms.end();
}

SimHandleCount::SimHandleCount(std::shared_ptr<SimRegistryState> state) : state_(std::move(state)) {
    state_->liveHandles.fetch_add(1);
}

SimHandleCount::~SimHandleCount() { state_->liveHandles.fetch_sub(1); }

}  // namespace ampwell::platform::sim
