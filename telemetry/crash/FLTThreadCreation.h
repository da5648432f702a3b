#pragma once

// Every thread of the process gets an alternate signal stack before it runs its own code, so a
// stack overflow on any of them can be recorded: pthread_create is wrapped for the whole process.
// The executable that links the telemetry library defines pthread_create itself, and the dynamic
// linker binds every library's calls to that definition from the process's first instruction, long
// before the crash kit starts. The wrapper hands the new thread a small start record, maps its
// alternate stack on the new thread, then calls the thread's own start routine.
//
// Not wrapped: threads the C library makes internally (C11 thrd_create, SIGEV_THREAD timers,
// asynchronous I/O helpers), threads made with a raw clone, and every thread in a build with a
// sanitizer, whose runtime wraps pthread_create itself and gives threads alternate stacks of its
// own.

// Whether thread creation is wrapped in this process.
bool FLTThreadCreationIsWrapped();
