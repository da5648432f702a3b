#include "FLTExceptionHandler.h"

#include "FLTFile.h"
#include "FLTProcess.h"
#include "FLTSDKLog.h"
#include "FLTSignalHandler.h"
#include "FLTUserLogging.h"
#include "telemetry/platform/SystemLog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cxxabi.h>
#include <dlfcn.h>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <typeinfo>
#include <unistd.h>

namespace {

std::recursive_mutex g_exceptionLock; // serialises fatal records, one after the other

const char *typeName(int kind)
{
    switch (kind) {
    case FLTExceptionKindObjectiveC: return "objective-c";
    case FLTExceptionKindCpp: return "c++";
    case FLTExceptionKindJavaScript: return "javascript";
    case FLTExceptionKindCustom: return "custom";
    default: return "unknown";
    }
}

void writeExceptionSection(FLTFile *file, int kind, const char *name, const char *reason,
                           const std::vector<FLTExceptionFrame> &frames)
{
    FLTFileWriteSectionStart(file, "exception");
    FLTFileWriteHashStart(file);
    FLTFileWriteHashEntryString(file, "type", typeName(kind));
    FLTFileWriteHashEntryHexEncodedString(file, "name", name);
    FLTFileWriteHashEntryHexEncodedString(file, "reason", reason);
    FLTFileWriteHashEntryUInt64(file, "time", static_cast<uint64_t>(time(nullptr)));
    if (!frames.empty()) {
        FLTFileWriteHashKey(file, "frames");
        FLTFileWriteArrayStart(file);
        for (const auto &frame : frames) {
            FLTFileWriteHashStart(file);
            FLTFileWriteHashEntryUInt64(file, "pc", frame.address);
            if (!frame.symbol.empty())
                FLTFileWriteHashEntryHexEncodedString(file, "symbol", frame.symbol.c_str());
            FLTFileWriteHashEntryUInt64(file, "offset", frame.offset);
            if (!frame.library.empty())
                FLTFileWriteHashEntryHexEncodedString(file, "library", frame.library.c_str());
            if (!frame.fileName.empty())
                FLTFileWriteHashEntryHexEncodedString(file, "file", frame.fileName.c_str());
            FLTFileWriteHashEntryUInt64(file, "line", frame.lineNumber);
            FLTFileWriteHashEnd(file);
        }
        FLTFileWriteArrayEnd(file);
    }
    FLTFileWriteHashEnd(file);
    FLTFileWriteSectionEnd(file);
}

} // namespace

std::string FLTDemangleTypeName(const char *mangledName)
{
    if (!mangledName)
        return {};
    int status = 0;
    char *readable = abi::__cxa_demangle(mangledName, nullptr, nullptr, &status);
    std::string result = status == 0 && readable ? readable : mangledName;
    free(readable);
    return result;
}

void FLTExceptionInitialize(FLTExceptionStore *store, uint32_t *customExceptionCounter)
{
    if (!store)
        return;
    if (store->path && unlink(store->path) != 0 && errno != ENOENT)
        FLT_WARN("WARN  [%s:%d] Unable to reset the exception file %s\n", strerror(errno));
    store->previousTerminateHandler = std::set_terminate(FLTTerminateHandler);
    if (customExceptionCounter)
        *customExceptionCounter = 0;
}

void FLTHandlerNotifyObserver()
{
    // No submittable-crash observer exists in this system.
}

void FLTExceptionRecord(int kind, const char *name, const char *reason,
                        const std::vector<FLTExceptionFrame> &frames, bool notify)
{
    if (!FLTContextIsInitialized())
        return;
    FLTContext *context = FLTContextGet();
    const bool fatal = kind == FLTExceptionKindObjectiveC || kind == FLTExceptionKindCpp;
    FLT_WARN("WARN  [%s:%d] Recording an exception structure (%d, %d)\n", notify ? 1 : 0,
             fatal ? 1 : 0);
    if (fatal) {
        std::lock_guard lock(g_exceptionLock);
        // One crash, one report: the exception claims the crash before the abort that follows
        // it can, and a crash already being recorded elsewhere is not recorded twice.
        if (FLTContextMarkAndCheckIfCrashed()) {
            FLT_WARN("WARN  [%s:%d] Error: aborting exception handler because crash has already "
                     "occurred\n");
            return;
        }
        FLTFile file;
        if (context->exceptionStore.path
            && FLTFileInitWithPath(&file, context->exceptionStore.path, false)) {
            writeExceptionSection(&file, kind, name, reason, frames);
            FLTHandler(&file, FLTCurrentThreadId(), nullptr);
            FLTFileClose(&file);
            if (notify)
                FLTHandlerNotifyObserver();
        } else {
            FLT_WARN("WARN  [%s:%d] Unable to open exception file\n");
        }
        // The crash is on record: the abort that ends the process goes to the handlers that were
        // there before ours, as after a recorded signal.
        if (context->signalStore.installed)
            FLTSignalSafeInstallPreexistingHandlers(&context->signalStore);
        FLTContextMarkCrashRecorded();
    } else {
        // Frames are symbolicated at a later launch from the image log: bring it up to date.
        if (!frames.empty())
            FLTBinaryImageRefresh();
        const std::string nameCopy = name ? name : "";
        const std::string reasonCopy = reason ? reason : "";
        const bool hasName = name != nullptr;
        const bool hasReason = reason != nullptr;
        FLTUserLoggingABStore *store = &context->customExceptionStore;
        FLTUserLoggingWriteAndCheckABFiles(store, store->activePath, [&](FLTFile *file) {
            writeExceptionSection(file, kind, hasName ? nameCopy.c_str() : nullptr,
                                  hasReason ? reasonCopy.c_str() : nullptr, frames);
        });
    }
    FLT_WARN("WARN  [%s:%d] Finished recording an exception structure\n");
}

void FLTCatchAndRecordActiveException(const char *type)
{
    std::exception_ptr current = std::current_exception();
    if (!current) {
        FLT_WARN("WARN  [%s:%d] no active exception\n");
        return;
    }
    FLT_WARN("WARN  [%s:%d] Recording exception of type '%s'\n", type ? type : "");
    const std::string readable = FLTDemangleTypeName(type);
    try {
        std::rethrow_exception(current);
    } catch (const char *text) {
        FLTExceptionRecord(FLTExceptionKindCpp, "const char *", text, {}, true);
    } catch (const std::string &text) {
        FLTExceptionRecord(FLTExceptionKindCpp, "std::string", text.c_str(), {}, true);
    } catch (const std::exception &exception) {
        FLTExceptionRecord(FLTExceptionKindCpp, readable.c_str(), exception.what(), {}, true);
    } catch (const std::exception *exception) {
        FLTExceptionRecord(FLTExceptionKindCpp, readable.c_str(),
                           exception ? exception->what() : "", {}, true);
    } catch (...) {
        FLTExceptionRecord(FLTExceptionKindCpp, readable.c_str(), "", {}, true);
    }
}

void FLTTerminateHandler()
{
    FLT_WARN("WARN  [%s:%d] C++ terminate handler invoked\n");
    FLTContext *context = FLTContextGet();
    std::terminate_handler previous =
        context ? context->exceptionStore.previousTerminateHandler : nullptr;
    if (previous == FLTTerminateHandler) {
        FLT_WARN("WARN  [%s:%d] Error: original handler was set recursively\n");
        previous = nullptr;
    }
    if (previous) {
        FLT_WARN("WARN  [%s:%d] restoring pre-existing handler\n");
        if (std::set_terminate(previous) == previous) {
            FLT_WARN("WARN  [%s:%d] handler has already been restored, aborting\n");
            abort();
        }
    }
    const std::type_info *type = abi::__cxa_current_exception_type();
    FLTCatchAndRecordActiveException(type ? type->name() : nullptr);
    if (previous) {
        FLT_WARN("WARN  [%s:%d] invoking pre-existing handler\n");
        previous();
    }
    FLT_WARN("WARN  [%s:%d] aborting\n");
    abort();
}

void FLTExceptionCheckHandlers()
{
    FLTContext *context = FLTContextGet();
    if (context && context->debuggerAttached)
        return;
    std::terminate_handler current = std::get_terminate();
    if (current == FLTTerminateHandler)
        return;
    Dl_info info;
    const bool found = dladdr(reinterpret_cast<const void *>(current), &info) != 0;
    tel::SystemLog::log(std::string("[Faultline:Crash] Warning: std::get_terminate is '")
                        + (found && info.dli_sname ? info.dli_sname : "unknown") + "' in '"
                        + (found && info.dli_fname ? info.dli_fname : "unknown") + "'");
}
