// Replaces the allocation operators and interposes realloc (and free, to count realloc-made
// blocks) so that a chosen allocation fails and live blocks can be counted.
//
// ELF targets interpose by symbol: the executable's definitions serve the whole process.  On
// Windows every DLL keeps its own imports, so the allocation functions' entries in the project
// DLLs' import address tables are pointed at this file's replacements when the test starts.
#include "KQFaultInjection.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

#if defined(__ELF__)
#include <dlfcn.h>
#endif
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#endif

// Realloc-made blocks are tracked by interposing free, which runs for every block of the
// process from its very first moments.  Under a sanitizer that is before the runtime has set up
// its shadow memory, where instrumented code must not run; there the sanitizer's own leak check
// covers those blocks and LiveAllocations counts the allocation operator's blocks only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KQ_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KQ_UNDER_SANITIZER 1
#endif
#if (defined(__ELF__) && !defined(KQ_UNDER_SANITIZER)) || defined(_WIN32)
#define KQ_TRACK_REALLOC_BLOCKS 1
#endif

namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_seen{0};
std::atomic<long> g_failAt{0};
std::atomic<bool> g_happened{false};
std::atomic<bool> g_lengthError{false}; // the failing allocation throws std::length_error
// Live blocks of the allocation operator (every thread, armed or not).
std::atomic<long> g_liveNew{0};

// Counts one allocation; true when it is the one to fail.
bool ShouldFail() noexcept {
  if (!g_armed.load(std::memory_order_relaxed)) {
    return false;
  }
  const long seen = g_seen.fetch_add(1) + 1;
  if (seen == g_failAt.load()) {
    g_happened.store(true);
    return true;
  }
  return false;
}

void* Allocate(std::size_t size) {
  if (ShouldFail()) {
    if (g_lengthError.load()) {
      throw std::length_error("injected shortage"); // its message is allocated: not the failing one
    }
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size); // NOLINT(cppcoreguidelines-no-malloc)
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  g_liveNew.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void Release(void* block) noexcept {
  if (block != nullptr) {
    g_liveNew.fetch_sub(1, std::memory_order_relaxed);
    std::free(block); // NOLINT(cppcoreguidelines-no-malloc)
  }
}

#if defined(KQ_TRACK_REALLOC_BLOCKS)
// Blocks made by realloc that free has not taken back yet.  realloc and free run for every
// block of the process, so the table must not allocate: a fixed array under a spin lock, kept
// dense (a removed entry is replaced by the last one), scanned linearly — the arrays under test
// own only a handful of slot buffers at a time.  Blocks beyond the table's room are not tracked
// and show up as an overflow count instead.
class ReallocTable {
public:
  void Replace(void* old, void* grown) noexcept {
    Lock();
    std::size_t i = Find(old);
    if (old == nullptr || i == m_used) {
      if (m_used < kRoom) {
        m_blocks[m_used++] = grown;
      } else {
        ++m_overflow;
      }
    } else {
      m_blocks[i] = grown;
    }
    Unlock();
  }
  void Remove(void* block) noexcept {
    Lock();
    const std::size_t i = Find(block);
    if (i != m_used) {
      m_blocks[i] = m_blocks[--m_used];
    }
    Unlock();
  }
  long Live() noexcept {
    Lock();
    const long live = static_cast<long>(m_used) + m_overflow;
    Unlock();
    return live;
  }

private:
  static constexpr std::size_t kRoom = 512;
  void Lock() noexcept {
    while (m_busy.test_and_set(std::memory_order_acquire)) {
    }
  }
  void Unlock() noexcept { m_busy.clear(std::memory_order_release); }
  std::size_t Find(void* block) const noexcept {
    std::size_t i = 0;
    while (i < m_used && m_blocks[i] != block) {
      ++i;
    }
    return i;
  }

  std::atomic_flag m_busy = ATOMIC_FLAG_INIT;
  void* m_blocks[kRoom] = {};
  std::size_t m_used = 0;
  long m_overflow = 0;
};

// Constant-initialised, so it is usable by the first realloc or free of the process.
constinit ReallocTable g_reallocBlocks;
#endif

} // namespace

#if defined(_WIN32)
// Windows: the project DLLs' imports of the allocation functions are redirected to the
// replacements below (operator new and delete: the executable's own, defined at the end of this
// file).  libstdc++-6.dll keeps calling its own operator new: what it allocates internally (the
// text of a std::string longer than its inline buffer, for one) is neither counted nor made to
// fail.  All of them are blocks of the one C runtime heap, so freeing across modules is safe.
namespace {

// realloc and free for the DLLs: the same rules as the ELF interposers at the end of this file.
void* __cdecl ReallocForDlls(void* block, std::size_t size) noexcept {
  if (ShouldFail()) {
    return nullptr;
  }
  void* grown = std::realloc(block, size); // NOLINT(cppcoreguidelines-no-malloc)
  if (grown != nullptr) {
    g_reallocBlocks.Replace(block, grown);
  }
  return grown;
}

void __cdecl FreeForDlls(void* block) noexcept {
  if (block != nullptr) {
    g_reallocBlocks.Remove(block);
    std::free(block); // NOLINT(cppcoreguidelines-no-malloc)
  }
}

// size_t in mangled names: unsigned long long on 64-bit Windows, unsigned int on 32-bit.
#if defined(_WIN64)
#define KQ_SIZE_CODE "y"
#else
#define KQ_SIZE_CODE "j"
#endif

using Slot = decltype(IMAGE_THUNK_DATA{}.u1.Function);

template <typename Function> Slot AddressOf(Function* function) {
  return reinterpret_cast<Slot>(function);
}

struct Replacement {
  const char* name; // as imported: mangled for the operators, plain for the C runtime
  Slot function;
};

// The sized and unsized forms of both operators; the nothrow and aligned forms are not used by
// the libraries.
const Replacement kReplacements[] = {
    {"_Znw" KQ_SIZE_CODE, AddressOf(static_cast<void* (*)(std::size_t)>(&::operator new))},
    {"_Zna" KQ_SIZE_CODE, AddressOf(static_cast<void* (*)(std::size_t)>(&::operator new[]))},
    {"_ZdlPv", AddressOf(static_cast<void (*)(void*) noexcept>(&::operator delete))},
    {"_ZdaPv", AddressOf(static_cast<void (*)(void*) noexcept>(&::operator delete[]))},
    {"_ZdlPv" KQ_SIZE_CODE,
     AddressOf(static_cast<void (*)(void*, std::size_t) noexcept>(&::operator delete))},
    {"_ZdaPv" KQ_SIZE_CODE,
     AddressOf(static_cast<void (*)(void*, std::size_t) noexcept>(&::operator delete[]))},
    {"realloc", AddressOf(&ReallocForDlls)},
    {"free", AddressOf(&FreeForDlls)},
};

bool Overwrite(Slot& slot, Slot value) noexcept {
  DWORD protection = 0;
  if (VirtualProtect(&slot, sizeof(slot), PAGE_READWRITE, &protection) == 0) {
    return false;
  }
  slot = value;
  VirtualProtect(&slot, sizeof(slot), protection, &protection);
  return true;
}

// Points every import of `name` listed in kReplacements at its replacement; returns how many
// entries were redirected, or -1 when the module is not loaded.
int PatchImports(const char* name) noexcept {
  auto* const base = reinterpret_cast<unsigned char*>(GetModuleHandleA(name));
  if (base == nullptr) {
    return -1;
  }
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) {
    return 0;
  }
  int patched = 0;
  for (const auto* library =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       library->Name != 0; ++library) {
    // The lookup table keeps the names; the address table beside it holds the bound addresses.
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base +
        (library->OriginalFirstThunk != 0 ? library->OriginalFirstThunk : library->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
        continue;
      }
      const auto* import =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (const Replacement& replacement : kReplacements) {
        if (std::strcmp(reinterpret_cast<const char*>(import->Name), replacement.name) == 0) {
          patched += Overwrite(slots->u1.Function, replacement.function) ? 1 : 0;
          break;
        }
      }
    }
  }
  return patched;
}

// Runs while the executable's globals are built: the DLLs are loaded and started, no test has
// run yet.  Every test loads KQString.dll; KQStringArray.dll is loaded only where the test uses
// the arrays.  Each library that allocates and is loaded must have been redirected.
bool PatchProjectImports() noexcept {
  const int strings = PatchImports("KQString.dll");
  const int arrays = PatchImports("KQStringArray.dll");
  PatchImports("CKQError.dll");
  return strings > 0 && arrays != 0;
}

const bool g_importsPatched = PatchProjectImports();

bool ImportsPatched() { return g_importsPatched; }

} // namespace
#endif // _WIN32

namespace kqtest {

bool FaultInjectionSupported() {
#if defined(__ELF__)
  return true;
#elif defined(_WIN32)
  return ImportsPatched();
#else
  return false;
#endif
}

void FailNthAllocation(long n, Shortage kind) {
  g_seen.store(0);
  g_failAt.store(n);
  g_lengthError.store(kind == Shortage::kLengthError);
  g_happened.store(false);
  g_armed.store(true);
}

long DisarmFaults() {
  g_armed.store(false);
  return g_seen.load();
}

bool FaultHappened() { return g_happened.load(); }

long LiveAllocations() {
  long live = g_liveNew.load();
#if defined(KQ_TRACK_REALLOC_BLOCKS)
  live += g_reallocBlocks.Live();
#endif
  return live;
}

} // namespace kqtest

// The replaced allocation operators: plain malloc/free underneath.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }                // NOLINT
void operator delete[](void* block) noexcept { Release(block); }              // NOLINT
void operator delete(void* block, std::size_t) noexcept { Release(block); }   // NOLINT
void operator delete[](void* block, std::size_t) noexcept { Release(block); } // NOLINT

#if defined(__ELF__)
// The interposers must be in the executable's dynamic symbol table even though the project
// builds with hidden visibility (clang applies it to these definitions, gcc does not).
#define KQ_INTERPOSED __attribute__((visibility("default")))

// The library's slot buffers grow through realloc; this definition in the executable takes
// precedence over the C runtime's for the whole process.
extern "C" KQ_INTERPOSED void* realloc(void* block, std::size_t size) noexcept {
  using Realloc = void* (*)(void*, std::size_t);
  static const auto next = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
  if (ShouldFail()) {
    return nullptr;
  }
  void* grown = next(block, size);
#if defined(KQ_TRACK_REALLOC_BLOCKS)
  if (grown != nullptr) {
    g_reallocBlocks.Replace(block, grown);
  }
#endif
  return grown;
}

#if defined(KQ_TRACK_REALLOC_BLOCKS)
// Interposed only to take realloc-made blocks out of the live count.  The C runtime's free is
// looked up on first use; should the lookup itself free a block, that one block is left alone
// (a thread-local flag breaks the recursion).
extern "C" KQ_INTERPOSED void free(void* block) noexcept {
  using Free = void (*)(void*);
  static std::atomic<Free> next{nullptr};
  static thread_local bool resolving = false;
  if (block == nullptr) {
    return;
  }
  g_reallocBlocks.Remove(block);
  Free real = next.load(std::memory_order_acquire);
  if (real == nullptr) {
    if (resolving) {
      return;
    }
    resolving = true;
    real = reinterpret_cast<Free>(dlsym(RTLD_NEXT, "free"));
    resolving = false;
    next.store(real, std::memory_order_release);
  }
  real(block);
}
#endif // KQ_TRACK_REALLOC_BLOCKS
#endif
