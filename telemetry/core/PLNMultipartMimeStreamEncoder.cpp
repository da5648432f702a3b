#include "PLNMultipartMimeStreamEncoder.h"

#include "PLNApplicationInfo.h"
#include "telemetry/platform/SystemLog.h"

#include <fstream>
#include <sstream>

PLNMultipartMimeStreamEncoder::PLNMultipartMimeStreamEncoder(PLNOutputStream &stream,
                                                             std::string boundary)
    : m_outputStream(stream)
    , m_boundary(boundary.empty() ? generateBoundary() : std::move(boundary))
{
}

std::string PLNMultipartMimeStreamEncoder::generateBoundary()
{
    return PLNGenerateUUIDString();
}

std::string
PLNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(const std::string &boundary)
{
    return "multipart/form-data; boundary=" + boundary;
}

std::string PLNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValue() const
{
    return contentTypeHTTPHeaderValueWithBoundary(m_boundary);
}

std::string PLNMultipartMimeStreamEncoder::contentLengthHTTPHeaderValue() const
{
    return std::to_string(m_length);
}

void PLNMultipartMimeStreamEncoder::encode(const std::function<void()> &block)
{
    beginEncoding();
    if (block)
        block();
    endEncoding();
}

void PLNMultipartMimeStreamEncoder::beginEncoding()
{
    m_length = 0;
    m_failed = false;
    if (!m_outputStream.open())
        m_failed = true;
    writeData("MIME-Version: 1.0\r\n");
}

void PLNMultipartMimeStreamEncoder::endEncoding()
{
    writeData("--" + m_boundary + "--\r\n");
    m_outputStream.close();
}

std::string PLNMultipartMimeStreamEncoder::escapedName(const std::string &name)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out.push_back(c);
    }
    return out;
}

void PLNMultipartMimeStreamEncoder::addValue(const tel::PlistValue &value,
                                             const std::string &fieldName)
{
    if (value.isNull() || fieldName.empty()) {
        tel::SystemLog::log("[Plinth] name (" + fieldName + ") or value ("
                            + (value.isNull() ? std::string("(null)") : value.description())
                            + ") is invalid");
        return;
    }
    writeData("--" + m_boundary + "\r\nContent-Disposition: form-data; name=\""
              + escapedName(fieldName) + "\"\r\nContent-Type: text/plain\r\n\r\n"
              + value.description() + "\r\n");
}

void PLNMultipartMimeStreamEncoder::addFileData(const std::string &data,
                                                const std::string &fileName,
                                                const std::string &mimeType,
                                                const std::string &fieldName)
{
    if (data.empty()) {
        tel::SystemLog::log("[Plinth] Unable to MIME encode data with zero length (" + fieldName
                            + ")");
        return;
    }
    if (fieldName.empty() || fileName.empty()) {
        tel::SystemLog::log("[Plinth] name (" + fieldName + ") or fieldname (" + fileName
                            + ") is invalid");
        return;
    }
    std::string head = "--" + m_boundary + "\r\nContent-Disposition: form-data; name=\""
                       + escapedName(fieldName) + "\"; filename=\"" + escapedName(fileName)
                       + "\"\r\n";
    if (!mimeType.empty())
        head += "Content-Type: " + escapedName(mimeType)
                + "\r\nContent-Transfer-Encoding: binary\r\n\r\n";
    else
        head += "Content-Type: application/octet-stream\r\n\r\n";
    writeData(head);
    writeData(data);
    writeData("\r\n");
}

void PLNMultipartMimeStreamEncoder::addFile(const std::string &path, const std::string &fileName,
                                            const std::string &mimeType,
                                            const std::string &fieldName)
{
    std::string data;
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::ostringstream buffer;
        buffer << in.rdbuf();
        data = buffer.str();
    }
    addFileData(data, fileName, mimeType, fieldName);
}

bool PLNMultipartMimeStreamEncoder::writeData(const std::string &data)
{
    bool complete = true;
    PLNEnumerateByteRangesInData(
        data, [&](const char *bytes, std::size_t, std::size_t length, bool &stop) {
            std::size_t written = 0;
            while (written < length) {
                const ssize_t n = m_outputStream.write(bytes + written, length - written);
                if (n <= 0)
                    break;
                written += static_cast<std::size_t>(n);
                m_length += static_cast<std::uint64_t>(n);
            }
            if (written < length) {
                tel::SystemLog::log("[Plinth] Failed to write data to stream");
                complete = false;
                stop = true;
            }
        });
    if (!complete)
        m_failed = true;
    return complete;
}

bool PLNMultipartMimeStreamEncoder::writeBytes(const void *bytes, std::size_t length)
{
    const ssize_t n = m_outputStream.write(bytes, length);
    if (n > 0)
        m_length += static_cast<std::uint64_t>(n);
    if (n == static_cast<ssize_t>(length))
        return true;
    tel::SystemLog::log("[Plinth] Failed to write bytes to stream");
    m_failed = true;
    return false;
}

PLNMultipartMimeStreamEncoder::EncodedBody PLNMultipartMimeStreamEncoder::encodedBodyWithBlock(
    const std::function<void(PLNMultipartMimeStreamEncoder &)> &block)
{
    PLNMemoryOutputStream stream;
    PLNMultipartMimeStreamEncoder encoder(stream, generateBoundary());
    encoder.encode([&] {
        if (block)
            block(encoder);
    });
    return {encoder.contentTypeHTTPHeaderValue(), encoder.contentLengthHTTPHeaderValue(),
            stream.data(), !encoder.failed()};
}
