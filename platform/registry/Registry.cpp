#include "platform/registry/Registry.hpp"

namespace ampwell::platform {

std::vector<std::unique_ptr<RegistryEntry>> drain(ServiceIterator& iterator) {
    std::vector<std::unique_ptr<RegistryEntry>> entries;
    while (auto entry = iterator.next()) entries.push_back(std::move(entry));
    return entries;
}

}  // namespace ampwell::platform
