#include "foundation/var_a.h"

// The handle is two words, the block header two words followed by the object:
// other units (the archive adapter's file record) rely on these sizes.
static_assert(sizeof(var_a<int>) == 2 * sizeof(void *), "var_a is block and object pointer");
static_assert(sizeof(var_a_item) == 2 * sizeof(void *), "var_a_item is count and destroy function");
