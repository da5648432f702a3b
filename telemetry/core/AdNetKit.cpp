#include "AdNetKit.h"

const AdNetKit &AdNetKit::shared()
{
    static const AdNetKit *kit = [] {
        auto *k = new AdNetKit;
        PLNKit::registerClass(k);
        return k;
    }();
    return *kit;
}
