// Seam: snapshots are not taken yet; the store is only allocated and freed.
#include "world/rewind.h"

#include <cstdlib>

namespace {
level* g_store = nullptr;
}

void rewind_store_alloc() {
    if (!g_store) g_store = static_cast<level*>(calloc(REWIND_SLOTS, sizeof(level)));
}

void rewind_store_free() {
    free(g_store);
    g_store = nullptr;
}
