// Suite tracking allocator: here a thin layer over the global heap.
#ifndef H_MEM_H
#define H_MEM_H

#include <cstddef>

class MEM_MANAGER {
 public:
  static void* new_wrapper(size_t size);
  static void delete_wrapper(void* p);
};

// Placed in each module that allocates; nothing to set up here.
struct MEM_INITIALIZER {
  MEM_INITIALIZER() {}
};

#endif
