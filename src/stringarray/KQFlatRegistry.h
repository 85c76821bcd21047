// The registry of live flat arrays: the pointer blocks that CreateMemoryArray has handed out and
// FreeMemoryArray has not yet taken back, each with its slot count.
//
// FreeMemoryArray must tell its own blocks from any other pointer a caller hands it without
// reading memory outside the block handed in (the memory in front of a foreign block may be
// unmapped or belong to another allocation).  The registry answers from the block's address
// alone.  It is the library's one piece of process-wide state: an ordered map from address to
// slot count under one mutex, touched once per CreateMemoryArray and once per FreeMemoryArray
// (never per entry), so O(log m) for m live flat arrays.  Any thread and any array may use it at
// any time; it is built on first use and never destroyed, so a flat array released from a
// static destructor still finds it.
#ifndef KQ_FLAT_REGISTRY_H
#define KQ_FLAT_REGISTRY_H

#include <cstddef>

namespace kq::flat {

// Records `entries` as a live flat array of `slots` entries (the terminating null not counted).
// Throws std::bad_alloc when the record cannot be allocated, the registry then unchanged.
void Register(const void* entries, std::size_t slots);

// When `entries` is a live flat array, forgets it, writes its slot count through `slots` and
// returns true: the caller then owns the block alone (another thread handing in the same address
// is refused).  Otherwise false, `slots` unchanged.  Reads nothing at `entries`; allocates
// nothing.
bool Unregister(const void* entries, std::size_t& slots) noexcept;

} // namespace kq::flat

#endif // KQ_FLAT_REGISTRY_H
