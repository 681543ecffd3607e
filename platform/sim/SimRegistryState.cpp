#include "platform/sim/SimRegistryState.hpp"

#include <algorithm>

namespace ampwell::platform::sim {

SimNode::SimNode(SimEntrySpec entrySpec)
    : id(entrySpec.id),
      className(std::move(entrySpec.className)),
      conforms(std::move(entrySpec.conforms)),
      parents(std::move(entrySpec.planes)),
      propertiesFail(entrySpec.propertiesFail),
      properties(std::move(entrySpec.properties)) {}

bool SimNode::conformsTo(const std::string& name) const {
    return className == name || std::find(conforms.begin(), conforms.end(), name) != conforms.end();
}

SimRegistryState::~SimRegistryState() {
    for (const auto& node : order) node->children.clear();
}

SimHandleCount::SimHandleCount(std::shared_ptr<SimRegistryState> state) : state_(std::move(state)) {
    state_->liveHandles.fetch_add(1);
}

SimHandleCount::~SimHandleCount() { state_->liveHandles.fetch_sub(1); }

}  // namespace ampwell::platform::sim
