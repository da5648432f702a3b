#include "FLTUtilities.h"

#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/OperationQueue.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPageSize = 4096;

// Whether the kernel lets this process read itself with process_vm_readv (seccomp filters
// may not). Decided on first use.
std::atomic<int> g_vmReadState{0}; // 0 unknown, 1 works, -1 unavailable

// Reads through a pipe: writing from a bad address fails with EFAULT instead of faulting.
bool readThroughPipe(const void *source, void *destination, std::size_t length)
{
    int fds[2];
    if (::syscall(SYS_pipe2, fds, O_CLOEXEC) != 0)
        return false;
    bool ok = true;
    const auto *in = static_cast<const char *>(source);
    auto *out = static_cast<char *>(destination);
    while (ok && length > 0) {
        const std::size_t chunk = length < kPageSize ? length : kPageSize;
        ssize_t written;
        do {
            written = ::write(fds[1], in, chunk);
        } while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(chunk)) {
            ok = false;
            break;
        }
        std::size_t got = 0;
        while (got < chunk) {
            const ssize_t n = ::read(fds[0], out + got, chunk - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        in += chunk;
        out += chunk;
        length -= chunk;
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return ok;
}

} // namespace

bool FLTReadMemory(const void *source, void *destination, std::size_t length)
{
    if (reinterpret_cast<std::uintptr_t>(source) < kFLTMinimumValidAddress || !destination)
        return false;
    if (length == 0)
        return true;
    if (g_vmReadState.load(std::memory_order_relaxed) >= 0) {
        const int savedErrno = errno;
        iovec local{destination, length};
        iovec remote{const_cast<void *>(source), length};
        const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        const int error = errno;
        errno = savedErrno;
        if (n == static_cast<ssize_t>(length)) {
            g_vmReadState.store(1, std::memory_order_relaxed);
            return true;
        }
        if (n >= 0 || error == EFAULT || error == ESRCH)
            return false;
        if (error != ENOSYS && error != EPERM)
            return false;
        g_vmReadState.store(-1, std::memory_order_relaxed);
    }
    return readThroughPipe(source, destination, length);
}

void FLTReadMemoryUsePipeForTesting(bool usePipe)
{
    g_vmReadState.store(usePipe ? -1 : 0);
}

bool FLTReadString(const char *address, const char **outAddress, std::size_t maximumLength)
{
    if (maximumLength == 0) {
        if (outAddress)
            *outAddress = address;
        return true;
    }
    const char *p = address;
    std::size_t checked = 0;
    while (checked < maximumLength) {
        if (reinterpret_cast<std::uintptr_t>(p) < kFLTMinimumValidAddress)
            return false;
        // Read to the end of the page at most: a page is readable as a whole or not at all.
        const std::size_t toPageEnd = kPageSize - (reinterpret_cast<std::uintptr_t>(p) % kPageSize);
        std::size_t chunk = maximumLength - checked;
        if (chunk > toPageEnd)
            chunk = toPageEnd;
        char buffer[256];
        if (chunk > sizeof buffer)
            chunk = sizeof buffer;
        if (!FLTReadMemory(p, buffer, chunk))
            return false;
        if (std::memchr(buffer, 0, chunk))
            break;
        p += chunk;
        checked += chunk;
    }
    if (outAddress)
        *outAddress = address;
    return true;
}

void FLTHexEncodeByte(std::uint8_t byte, char destination[2])
{
    static const char kDigits[] = "0123456789abcdef";
    destination[0] = kDigits[byte >> 4];
    destination[1] = kDigits[byte & 0xf];
}

std::uint8_t FLTHexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint8_t>(c - 'A' + 10);
    return 255;
}

void FLTHexEncodeBytes(const void *bytes, std::size_t count, char *destination)
{
    if (!destination)
        return;
    std::memset(destination, 0, 2 * count + 1);
    if (!bytes)
        return;
    const auto *in = static_cast<const std::uint8_t *>(bytes);
    for (std::size_t i = 0; i < count; ++i)
        FLTHexEncodeByte(in[i], destination + 2 * i);
}

void FLTLookupSymbolInfo(const void *address,
                         const std::function<void(const char *, const char *)> &block)
{
    if (!block)
        return;
    Dl_info info{};
    if (!address || ::dladdr(address, &info) == 0) {
        block(nullptr, nullptr);
        return;
    }
    block(info.dli_sname ? info.dli_sname : "unknown", info.dli_fname ? info.dli_fname : "unknown");
}

bool FLTUnlinkIfExists(const char *path)
{
    if (!path)
        return false;
    return ::unlink(path) == 0 || errno == ENOENT;
}

void FLTDispatchAfter(tel::DispatchQueue &queue, std::function<void()> block, float delay)
{
    queue.asyncAfter(static_cast<double>(delay), std::move(block));
}

void FLTAddOperationAfterDelay(tel::OperationQueue &queue, std::function<void()> block,
                               double delay)
{
    tel::DispatchQueue::global().asyncAfter(delay, [&queue, block = std::move(block)]() mutable {
        queue.addOperationWithBlock(std::move(block));
    });
}
