#include "track/heap_release.h"

#include <malloc.h>

void ReturnFreeHeapToSystem() { malloc_trim(0); }
