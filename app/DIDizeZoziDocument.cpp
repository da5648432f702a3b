#include "app/DIDizeZoziDocument.h"

bool DIDizeZoziDocument::s_defaultQualityModulation = false;

void DIDizeZoziDocument::setDefaultQualityModulation(bool enabled)
{
    s_defaultQualityModulation = enabled;
}

bool DIDizeZoziDocument::defaultQualityModulation()
{
    return s_defaultQualityModulation;
}
