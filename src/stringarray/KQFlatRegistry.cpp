// The registry of live flat arrays (see KQFlatRegistry.h).
#include "KQFlatRegistry.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <new>

namespace kq::flat {
namespace {

struct Registry {
  std::mutex mutex;                        // guards `live`
  std::map<const void*, std::size_t> live; // block address -> slot count
};

// Built in static storage on first use (which allocates nothing: an empty map holds no node)
// and never destroyed, so a flat array released from a static destructor at exit still finds
// it.  The first use is thread-safe as every function-local static's is.
Registry& TheRegistry() noexcept {
  alignas(Registry) static unsigned char storage[sizeof(Registry)];
  static auto* const registry = ::new (static_cast<void*>(storage)) Registry;
  return *registry;
}

} // namespace

void Register(const void* entries, std::size_t slots) {
  Registry& registry = TheRegistry();
  const std::lock_guard hold(registry.mutex);
  // One node; on failure the map is unchanged.  A record already there for this address is
  // stale (its block went back to the allocator some other way, which then handed the address
  // out again): the new block's count replaces it.
  registry.live.insert_or_assign(entries, slots);
}

bool Unregister(const void* entries, std::size_t& slots) noexcept {
  Registry& registry = TheRegistry();
  const std::lock_guard hold(registry.mutex);
  const auto found = registry.live.find(entries);
  if (found == registry.live.end()) {
    return false;
  }
  slots = found->second;
  registry.live.erase(found);
  return true;
}

} // namespace kq::flat
