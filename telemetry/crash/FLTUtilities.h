#pragma once

// Small operations shared by the crash kit: reads of memory that may be unmapped, hexadecimal
// text, symbol lookup, removing a file that may be missing, and delayed work.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tel {
class DispatchQueue;
class OperationQueue;
} // namespace tel

// Addresses below this count as null throughout the crash kit.
constexpr std::uintptr_t kFLTMinimumValidAddress = 4096;

// Copies `length` bytes of this process's memory at `source` through the kernel, so unmapped or
// unreadable memory gives false instead of a fault. False for a source below 4096.
// Safe to call from a signal handler (system calls only, no allocation).
bool FLTReadMemory(const void *source, void *destination, std::size_t length);
// Makes FLTReadMemory read through a pipe, as it does where the kernel refuses
// process_vm_readv (tests of that path); false returns to the normal choice.
void FLTReadMemoryUsePipeForTesting(bool usePipe);
// Checks that a C string at `address` can be read up to its zero byte or `maximumLength` bytes,
// whichever comes first, and hands back the same address on success. False for an address
// below 4096 (also when walking reaches one) or an unreadable byte; a maximum of 0 succeeds
// without reading. Safe to call from a signal handler.
bool FLTReadString(const char *address, const char **outAddress, std::size_t maximumLength);

// Safe to call from a signal handler.
void FLTHexEncodeByte(std::uint8_t byte, char destination[2]);
// 0..15 for "0"-"9", "a"-"f", "A"-"F"; 255 otherwise. Safe to call from a signal handler.
std::uint8_t FLTHexDigitValue(char character);
// Zeroes `destination` (2 * count + 1 bytes), then two digits per byte.
// Safe to call from a signal handler.
void FLTHexEncodeBytes(const void *bytes, std::size_t count, char *destination);

// Looks the address up with dladdr: found, the block gets the symbol name and image path (each
// "unknown" when missing); not found, null for both. Not signal-safe.
void FLTLookupSymbolInfo(const void *address,
                         const std::function<void(const char *symbol, const char *image)> &block);
// Removes the file; true when it was removed or did not exist. Safe to call from a signal handler.
bool FLTUnlinkIfExists(const char *path);
// Runs the block on the queue after `delay` seconds. Not signal-safe.
void FLTDispatchAfter(tel::DispatchQueue &queue, std::function<void()> block, float delay);
// After `delay` seconds, on the default-priority global queue, adds the block to the operation
// queue. The operation queue must outlive the delay. Not signal-safe.
void FLTAddOperationAfterDelay(tel::OperationQueue &queue, std::function<void()> block,
                               double delay);
