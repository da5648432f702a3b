#pragma once

#include <string>

// The application's icon as sent at onboarding: PNG bytes, their SHA-1 and the size in points.
class PLNIcon
{
public:
    PLNIcon(std::string data, std::string dataHash, double width, double height, bool prerendered)
        : m_data(std::move(data))
        , m_dataHash(std::move(dataHash))
        , m_width(width)
        , m_height(height)
        , m_prerendered(prerendered)
    {
    }
    // Computes the hash.
    PLNIcon(std::string data, double width, double height, bool prerendered);
    // Prerendered.
    PLNIcon(std::string data, double width, double height)
        : PLNIcon(std::move(data), width, height, true)
    {
    }

    const std::string &data() const { return m_data; }
    const std::string &dataHash() const { return m_dataHash; }
    double width() const { return m_width; }
    double height() const { return m_height; }
    bool prerendered() const { return m_prerendered; }
    double surfaceArea() const { return m_width * m_height; }

private:
    std::string m_data;
    std::string m_dataHash;
    double m_width = 0;
    double m_height = 0;
    bool m_prerendered = true;
};
