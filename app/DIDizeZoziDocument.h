#pragma once

// The document and window controller of one drawing. For now it holds the application-wide
// quality-modulation flag that launch restores and termination stores.
class DIDizeZoziDocument
{
public:
    // Whether drawings draw with reduced quality while a drag is live; one flag for the
    // whole application, initially off, applied at once to every open drawing document.
    static void setDefaultQualityModulation(bool enabled);
    static bool defaultQualityModulation();

private:
    static bool s_defaultQualityModulation;
};
