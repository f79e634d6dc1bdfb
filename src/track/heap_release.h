#pragma once

// Gives the memory the allocator holds free back to the system. Freed memory normally
// stays with the process for its next allocations; after a window closes it would stay
// for hours, as the program sits on the desktop all day with only the widget.
void ReturnFreeHeapToSystem();
