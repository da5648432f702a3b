#include "PlistValue.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace tel {

namespace {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
constexpr double kPlistEpochOffset = 978307200.0;

PlistValue fromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return PlistValue(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return PlistValue(static_cast<std::int64_t>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return PlistValue(v);
    }
    case PLIST_STRING: {
        // libplist's copying getter asserts that the text holds no NUL; the pointer form does not.
        std::uint64_t length = 0;
        const char *s = plist_get_string_ptr(node, &length);
        return PlistValue(s ? std::string(s, length) : std::string());
    }
    case PLIST_DATA: {
        char *d = nullptr;
        std::uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        PlistValue::Data data(reinterpret_cast<std::uint8_t *>(d),
                              reinterpret_cast<std::uint8_t *>(d) + len);
        std::free(d);
        return PlistValue(std::move(data));
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return PlistValue(PlistValue::Date{sec + usec / 1e6 + kPlistEpochOffset});
    }
    case PLIST_ARRAY: {
        PlistValue::Array array;
        const std::uint32_t n = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < n; ++i)
            array.push_back(fromNode(plist_array_get_item(node, i)));
        return PlistValue(std::move(array));
    }
    case PLIST_DICT: {
        PlistValue::Dictionary dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            dict.emplace(key, fromNode(value));
            std::free(key);
        }
        std::free(it);
        return PlistValue(std::move(dict));
    }
    default: return PlistValue();
    }
}

std::uint64_t bigEndian(const unsigned char *p, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

// Whether a binary property list holds a string (or dictionary key) with a NUL character in it.
// libplist aborts the process when such a key is read, so these lists are refused before parsing.
// Walks the offset table as libplist does; a malformed table is left to libplist to refuse.
bool binaryHasNulCharacter(const std::string &bytes)
{
    constexpr std::size_t kHeader = 8;
    constexpr std::size_t kTrailer = 32;
    if (bytes.size() < kHeader + kTrailer)
        return false;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t size = bytes.size();
    const unsigned char *trailer = data + size - kTrailer;
    const std::size_t offsetWidth = trailer[6];
    const std::uint64_t objectCount = bigEndian(trailer + 8, 8);
    const std::uint64_t tableOffset = bigEndian(trailer + 24, 8);
    if (offsetWidth < 1 || offsetWidth > 8 || tableOffset >= size
        || objectCount > (size - tableOffset) / offsetWidth)
        return false;
    const std::size_t objectsEnd = size - kTrailer;
    for (std::uint64_t i = 0; i < objectCount; ++i) {
        const std::uint64_t offset = bigEndian(data + tableOffset + i * offsetWidth, offsetWidth);
        if (offset < kHeader || offset >= objectsEnd)
            continue;
        const unsigned kind = data[offset] >> 4;
        if (kind != 0x5 && kind != 0x6)
            continue;
        std::uint64_t count = data[offset] & 0x0f;
        std::uint64_t start = offset + 1;
        if (count == 0x0f) {
            // The length follows as an integer object: 0x1N and 2^N big-endian bytes.
            if (start >= objectsEnd || (data[start] >> 4) != 0x1)
                continue;
            const std::size_t width = std::size_t(1) << (data[start] & 0x0f);
            if (width > 8 || width > objectsEnd - start - 1)
                continue;
            count = bigEndian(data + start + 1, width);
            start += 1 + width;
        }
        const std::uint64_t unit = kind == 0x5 ? 1 : 2;
        if (count > (objectsEnd - start) / unit)
            continue;
        for (std::uint64_t c = 0; c < count; ++c) {
            const unsigned char *character = data + start + c * unit;
            if (character[0] == 0 && (unit == 1 || character[1] == 0))
                return true;
        }
    }
    return false;
}

plist_t toNode(const PlistValue &value)
{
    switch (value.type()) {
    case PlistValue::Type::Null: return plist_new_string("");
    case PlistValue::Type::Boolean: return plist_new_bool(value.toBool() ? 1 : 0);
    case PlistValue::Type::Integer:
        return plist_new_uint(static_cast<std::uint64_t>(value.toInteger()));
    case PlistValue::Type::Real: return plist_new_real(value.toReal());
    case PlistValue::Type::String: return plist_new_string(value.string()->c_str());
    case PlistValue::Type::Data: {
        const auto *d = value.data();
        return plist_new_data(reinterpret_cast<const char *>(d->data()), d->size());
    }
    case PlistValue::Type::Date: {
        const double t = value.toReal() - kPlistEpochOffset;
        const double sec = std::floor(t);
        return plist_new_date(static_cast<std::int32_t>(sec),
                              static_cast<std::int32_t>((t - sec) * 1e6));
    }
    case PlistValue::Type::Array: {
        plist_t node = plist_new_array();
        for (const PlistValue &item : *value.array())
            plist_array_append_item(node, toNode(item));
        return node;
    }
    case PlistValue::Type::Dictionary: {
        plist_t node = plist_new_dict();
        for (const auto &[key, item] : *value.dictionary())
            plist_dict_set_item(node, key.c_str(), toNode(item));
        return node;
    }
    }
    return plist_new_string("");
}

} // namespace

bool PlistValue::isNumber() const
{
    const Type t = type();
    return t == Type::Boolean || t == Type::Integer || t == Type::Real;
}

bool PlistValue::toBool() const
{
    switch (type()) {
    case Type::Boolean: return std::get<bool>(m_value);
    case Type::Integer: return std::get<std::int64_t>(m_value) != 0;
    case Type::Real: return std::get<double>(m_value) != 0.0;
    case Type::String: {
        const std::string &s = std::get<std::string>(m_value);
        if (s == "YES" || s == "yes" || s == "true" || s == "TRUE" || s == "Y" || s == "y"
            || s == "T" || s == "t")
            return true;
        return std::atoll(s.c_str()) != 0;
    }
    default: return false;
    }
}

std::int64_t PlistValue::toInteger() const
{
    switch (type()) {
    case Type::Boolean: return std::get<bool>(m_value) ? 1 : 0;
    case Type::Integer: return std::get<std::int64_t>(m_value);
    case Type::Real: return static_cast<std::int64_t>(std::get<double>(m_value));
    case Type::String: return std::atoll(std::get<std::string>(m_value).c_str());
    default: return 0;
    }
}

double PlistValue::toReal() const
{
    switch (type()) {
    case Type::Real: return std::get<double>(m_value);
    case Type::Date: return std::get<Date>(m_value).secondsSince1970;
    case Type::String: return std::atof(std::get<std::string>(m_value).c_str());
    default: return static_cast<double>(toInteger());
    }
}

std::string PlistValue::toString() const
{
    if (const auto *s = string())
        return *s;
    return {};
}

std::string PlistValue::description() const
{
    switch (type()) {
    case Type::String: return *string();
    case Type::Boolean:
    case Type::Integer: return std::to_string(toInteger());
    case Type::Real: {
        std::ostringstream out;
        out << toReal();
        return out.str();
    }
    default: return toXml();
    }
}

const PlistValue *PlistValue::find(const std::string &key) const
{
    const auto *dict = dictionary();
    if (!dict)
        return nullptr;
    const auto it = dict->find(key);
    return it == dict->end() ? nullptr : &it->second;
}

std::optional<PlistValue> PlistValue::fromBytes(const std::string &bytes)
{
    if (bytes.empty() || bytes.size() > 0xffffffffu)
        return std::nullopt;
    plist_t root = nullptr;
    if (bytes.compare(0, 6, "bplist") == 0) {
        if (binaryHasNulCharacter(bytes))
            return std::nullopt;
        plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    } else {
        // A NUL byte is never part of a well-formed XML document.
        if (bytes.find('\0') != std::string::npos)
            return std::nullopt;
        plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    }
    if (!root)
        return std::nullopt;
    PlistValue result = fromNode(root);
    plist_free(root);
    return result;
}

std::optional<PlistValue> PlistValue::readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return fromBytes(buffer.str());
}

std::string PlistValue::toXml() const
{
    plist_t root = toNode(*this);
    char *xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    std::string result(xml ? xml : "", xml ? length : 0);
    std::free(xml);
    plist_free(root);
    return result;
}

bool PlistValue::writeFileAtomically(const std::string &path) const
{
    const std::string xml = toXml();
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < xml.size()) {
        const ssize_t n = ::write(fd, xml.data() + written, xml.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    fchmod(fd, 0644);
    const bool synced = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !synced || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk only with the folder.
    const std::string::size_type slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

} // namespace tel
