#include "FLTThreadCreation.h"

#include "FLTSignalHandler.h"

#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FLT_WRAP_THREAD_CREATION 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)                            \
    || __has_feature(memory_sanitizer)
#define FLT_WRAP_THREAD_CREATION 0
#endif
#endif
#ifndef FLT_WRAP_THREAD_CREATION
#define FLT_WRAP_THREAD_CREATION 1
#endif

#if FLT_WRAP_THREAD_CREATION

namespace {

using ThreadStart = void *(*)(void *);
using CreateFunction = int (*)(pthread_t *, const pthread_attr_t *, ThreadStart, void *);

struct StartRecord {
    ThreadStart start;
    void *argument;
};

CreateFunction realCreate()
{
    static const CreateFunction real =
        reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    return real;
}

void *startPreparedThread(void *argument)
{
    const StartRecord record = *static_cast<StartRecord *>(argument);
    free(argument);
    FLTSignalInstallAltStackForCurrentThread();
    return record.start(record.argument);
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
pthread_create(pthread_t *thread, const pthread_attr_t *attributes, ThreadStart start,
               void *argument)
{
    const CreateFunction real = realCreate();
    if (!real)
        return EAGAIN;
    auto *record = static_cast<StartRecord *>(malloc(sizeof(StartRecord)));
    if (!record)
        return real(thread, attributes, start, argument);
    record->start = start;
    record->argument = argument;
    const int result = real(thread, attributes, startPreparedThread, record);
    if (result != 0)
        free(record);
    return result;
}

bool FLTThreadCreationIsWrapped()
{
    return realCreate() != nullptr;
}

#else

bool FLTThreadCreationIsWrapped()
{
    return false;
}

#endif
