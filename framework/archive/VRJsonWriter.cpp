#include "framework/archive/VRJsonWriter.h"

void VRJsonWriter::numbers(std::initializer_list<double> values)
{
    beginArray();
    for (const double v : values)
        value(v);
    end();
}
