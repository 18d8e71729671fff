#include "inflate.h"

#include <zlib.h>

#include <array>

std::string Inflate(const std::string &data, bool *ok, std::size_t *consumed) {
    *ok = false;
    if (consumed)
        *consumed = 0;
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return "";
    std::string out;
    std::array<unsigned char, 65536> buffer{};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = buffer.data();
        z.avail_out = static_cast<uInt>(buffer.size());
        r = inflate(&z, Z_NO_FLUSH);
        out.append(reinterpret_cast<const char *>(buffer.data()), buffer.size() - z.avail_out);
    }
    *ok = r == Z_STREAM_END;
    if (consumed)
        *consumed = data.size() - z.avail_in;
    inflateEnd(&z);
    return out;
}
