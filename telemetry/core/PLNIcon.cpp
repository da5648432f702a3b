#include "telemetry/core/PLNIcon.h"

#include "telemetry/core/PLNApplicationInfo.h"

PLNIcon::PLNIcon(std::string data, double width, double height, bool prerendered)
    : m_data(std::move(data))
    , m_width(width)
    , m_height(height)
    , m_prerendered(prerendered)
{
    m_dataHash = PLNSHA1HexString(m_data);
}
