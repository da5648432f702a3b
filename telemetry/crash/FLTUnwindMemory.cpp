#include "FLTUnwindMemory.h"

#include "FLTUtilities.h"

#include <cstring>

bool FLTUnwindReadMemory(uintptr_t address, void *destination, size_t length)
{
    if (address < 4096)
        return false;
    return FLTReadMemory(reinterpret_cast<const void *>(address), destination, length);
}

bool FLTUnwindReadWord(uintptr_t address, uint64_t *value)
{
    return FLTUnwindReadMemory(address, value, sizeof *value);
}

bool FLTSafeCursor::read(void *destination, size_t length)
{
    if (length == 0)
        return true;
    if (m_position + length > m_end || m_position + length < m_position)
        return false;
    if (!(m_position >= m_windowStart && m_position + length <= m_windowStart + m_windowLength)) {
        // Refill from the current position; near the end of a mapping only what is readable.
        const uintptr_t pageEnd = (m_position | 4095) + 1;
        size_t want = sizeof m_window;
        if (m_position + want > m_end)
            want = m_end - m_position;
        if (want < length)
            want = length;
        if (!FLTUnwindReadMemory(m_position, m_window, want)) {
            want = pageEnd - m_position;
            if (want < length || want > sizeof m_window)
                want = length;
            if (!FLTUnwindReadMemory(m_position, m_window, want)) {
                m_windowLength = 0;
                return false;
            }
        }
        m_windowStart = m_position;
        m_windowLength = want;
    }
    memcpy(destination, m_window + (m_position - m_windowStart), length);
    m_position += length;
    return true;
}

bool FLTSafeCursor::uleb128(uint64_t *value)
{
    uint64_t result = 0;
    unsigned shift = 0;
    for (;;) {
        uint8_t byte;
        if (!u8(&byte))
            return false;
        if (shift < 64)
            result |= static_cast<uint64_t>(byte & 0x7f) << shift;
        shift += 7;
        if (!(byte & 0x80))
            break;
    }
    *value = result;
    return true;
}

bool FLTSafeCursor::sleb128(int64_t *value)
{
    uint64_t result = 0;
    unsigned shift = 0;
    uint8_t byte;
    do {
        if (!u8(&byte))
            return false;
        if (shift < 64)
            result |= static_cast<uint64_t>(byte & 0x7f) << shift;
        shift += 7;
    } while (byte & 0x80);
    if (shift < 64 && (byte & 0x40))
        result |= ~0ULL << shift;
    *value = static_cast<int64_t>(result);
    return true;
}

bool FLTSafeCursor::encodedPointer(uint8_t encoding, uint64_t *value, uintptr_t dataBase)
{
    if (encoding == 0xff) {
        *value = 0;
        return true;
    }
    const uintptr_t fieldAddress = m_position;
    uint64_t result = 0;
    switch (encoding & 0x0f) {
    case 0x00: {
        uint64_t v;
        if (!u64(&v))
            return false;
        result = v;
        break;
    }
    case 0x01:
        if (!uleb128(&result))
            return false;
        break;
    case 0x02: {
        uint16_t v;
        if (!u16(&v))
            return false;
        result = v;
        break;
    }
    case 0x03: {
        uint32_t v;
        if (!u32(&v))
            return false;
        result = v;
        break;
    }
    case 0x04: {
        uint64_t v;
        if (!u64(&v))
            return false;
        result = v;
        break;
    }
    case 0x09: {
        int64_t v;
        if (!sleb128(&v))
            return false;
        result = static_cast<uint64_t>(v);
        break;
    }
    case 0x0a: {
        int16_t v;
        if (!read(&v, 2))
            return false;
        result = static_cast<uint64_t>(static_cast<int64_t>(v));
        break;
    }
    case 0x0b: {
        int32_t v;
        if (!read(&v, 4))
            return false;
        result = static_cast<uint64_t>(static_cast<int64_t>(v));
        break;
    }
    case 0x0c: {
        int64_t v;
        if (!read(&v, 8))
            return false;
        result = static_cast<uint64_t>(v);
        break;
    }
    default: return false;
    }
    switch (encoding & 0x70) {
    case 0x00: break;
    case 0x10: result += fieldAddress; break;
    case 0x30: result += dataBase; break;
    default: return false;
    }
    if (encoding & 0x80) {
        uint64_t target;
        if (!FLTUnwindReadWord(result, &target))
            return false;
        result = target;
    }
    *value = result;
    return true;
}
