// Stands in for Visual C++'s replaceable global operator new and delete: malloc and free, the new
// handler asked before std::bad_alloc is thrown, _aligned_malloc for over-aligned types.
#include <malloc.h>
#include <stdlib.h>

#include <new>

extern "C" _ACRTIMP int __cdecl _callnewh(size_t size);

namespace {
void* Allocate(size_t size) {
  for (;;) {
    if (void* block = malloc(size == 0 ? 1 : size)) {
      return block;
    }
    if (_callnewh(size) == 0) {
      if (size == static_cast<size_t>(-1)) {
        throw std::bad_array_new_length();
      }
      throw std::bad_alloc();
    }
  }
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
  for (;;) {
    if (void* block = _aligned_malloc(size == 0 ? 1 : size, static_cast<size_t>(alignment))) {
      return block;
    }
    if (_callnewh(size) == 0) {
      throw std::bad_alloc();
    }
  }
}
}  // namespace

void* __cdecl operator new(size_t size) { return Allocate(size); }
void* __cdecl operator new[](size_t size) { return Allocate(size); }
void* __cdecl operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* __cdecl operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void __cdecl operator delete(void* block) noexcept { free(block); }
void __cdecl operator delete[](void* block) noexcept { free(block); }
void __cdecl operator delete(void* block, size_t) noexcept { free(block); }
void __cdecl operator delete[](void* block, size_t) noexcept { free(block); }
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }

void* __cdecl operator new(size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* __cdecl operator new[](size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* __cdecl operator new(size_t size, std::align_val_t alignment,
                           const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
void* __cdecl operator new[](size_t size, std::align_val_t alignment,
                             const std::nothrow_t& tag) noexcept {
  return operator new(size, alignment, tag);
}
void __cdecl operator delete(void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete[](void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete(void* block, size_t, std::align_val_t) noexcept {
  _aligned_free(block);
}
void __cdecl operator delete[](void* block, size_t, std::align_val_t) noexcept {
  _aligned_free(block);
}
void __cdecl operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  _aligned_free(block);
}
void __cdecl operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  _aligned_free(block);
}
