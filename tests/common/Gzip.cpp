#include "Gzip.h"

#include <zlib.h>

namespace qnt::test {

std::optional<std::string> gunzip(const std::string &bytes)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int result = Z_OK;
    do {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        out.append(buffer, sizeof buffer - stream.avail_out);
    } while (result != Z_STREAM_END);
    inflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    return out;
}

} // namespace qnt::test
