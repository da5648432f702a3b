#pragma once

// Crash-safe reads for the unwinders: a cursor that walks possibly damaged memory through the
// kernel-assisted reader, with a small window so that byte-wise parsing costs few system calls.
// Safe to call from a signal handler.

#include <cstddef>
#include <cstdint>

bool FLTUnwindReadMemory(uintptr_t address, void *destination, size_t length);
bool FLTUnwindReadWord(uintptr_t address, uint64_t *value);

class FLTSafeCursor
{
public:
    FLTSafeCursor(uintptr_t position, uintptr_t end)
        : m_position(position)
        , m_end(end)
    {
    }

    uintptr_t position() const { return m_position; }
    void setPosition(uintptr_t position) { m_position = position; }
    uintptr_t end() const { return m_end; }
    bool atEnd() const { return m_position >= m_end; }

    bool read(void *destination, size_t length);
    bool u8(uint8_t *value) { return read(value, 1); }
    bool u16(uint16_t *value) { return read(value, 2); }
    bool u32(uint32_t *value) { return read(value, 4); }
    bool u64(uint64_t *value) { return read(value, 8); }
    bool uleb128(uint64_t *value);
    bool sleb128(int64_t *value);
    // A pointer in .eh_frame encoding; `dataBase` serves the data-relative form.
    bool encodedPointer(uint8_t encoding, uint64_t *value, uintptr_t dataBase = 0);

private:
    uintptr_t m_position;
    uintptr_t m_end;
    uintptr_t m_windowStart = 0;
    size_t m_windowLength = 0;
    uint8_t m_window[256];
};
