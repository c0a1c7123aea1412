// Suite allocator: plain heap; the library's behaviour does not depend on it.
#include "mem.h"

#include <new>

void* MEM_MANAGER::new_wrapper(size_t size) { return ::operator new(size); }
void MEM_MANAGER::delete_wrapper(void* p) { ::operator delete(p); }
