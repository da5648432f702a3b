#pragma once

// Builds .eh_frame bytes (one CIE, then FDEs with absolute 8-byte addresses) for unwinder tests.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

class FLTCallFrameBuilder
{
public:
    // CIE: code alignment 1, data alignment -8, return address in register 16, initial rule
    // CFA = rsp + 8 and the return address at CFA - 8; `signalFrame` adds the 'S' augmentation.
    explicit FLTCallFrameBuilder(bool signalFrame = false)
    {
        const size_t start = beginRecord();
        put32(0); // CIE id
        m_bytes.push_back(1);
        // The augmentation string, with its terminating zero.
        const char *augmentation = signalFrame ? "zRS" : "zR";
        m_bytes.insert(m_bytes.end(), augmentation, augmentation + std::strlen(augmentation) + 1);
        m_bytes.insert(m_bytes.end(), {1, 0x78, 16, 1, 0x00});
        m_bytes.insert(m_bytes.end(), {0x0c, 7, 8, 0x90, 1});
        endRecord(start);
    }

    // Appends an FDE for [begin, begin + range) with the given instructions; returns its offset.
    size_t addFDE(uint64_t begin, uint64_t range, std::initializer_list<uint8_t> instructions)
    {
        const size_t start = beginRecord();
        put32(static_cast<uint32_t>(start + 4)); // back to the CIE at offset 0
        put64(begin);
        put64(range);
        m_bytes.push_back(0); // no augmentation data
        m_bytes.insert(m_bytes.end(), instructions);
        endRecord(start);
        return start;
    }

    const std::vector<uint8_t> &bytes() const { return m_bytes; }
    uintptr_t address(size_t offset) const
    {
        return reinterpret_cast<uintptr_t>(m_bytes.data()) + offset;
    }

private:
    size_t beginRecord()
    {
        const size_t start = m_bytes.size();
        put32(0);
        return start;
    }
    void endRecord(size_t start)
    {
        while ((m_bytes.size() - start) % 8)
            m_bytes.push_back(0); // DW_CFA_nop
        const auto length = static_cast<uint32_t>(m_bytes.size() - start - 4);
        for (int i = 0; i < 4; ++i)
            m_bytes[start + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    void put32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void put64(uint64_t value)
    {
        for (int i = 0; i < 8; ++i)
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    std::vector<uint8_t> m_bytes;
};
