#pragma once

// Sets the allocator up for the program's start; called first thing in main(). Blocks of up
// to 32 MiB come from the one heap, which grows in 16 MiB steps and is advised for
// transparent huge pages.
//
// The window's first frame takes some 20 MiB of fresh memory at once (the software
// renderer's scene, frame and depth buffers, its compiled shaders, the widgets). Page by
// page that is thousands of page faults, each of them dear on a virtual machine; in 2 MiB
// pages it is a few dozen. Where the system offers no huge pages, or the heap cannot grow,
// the allocator works as before.
struct HeapRange {
    const void* begin = nullptr;
    const void* end = nullptr;
};

// The range advised, empty when none was.
HeapRange PrepareHeapForStart();
