#pragma once

#include "PLNOutputStream.h"
#include "telemetry/platform/PlistValue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Streams a multipart/form-data package of text fields and files into an output stream,
// counting the bytes, and gives the matching "Content-Type" and "Content-Length" values.
//
// Field and file names are written as given, except that '"', CR and LF are percent-encoded
// (%22, %0D, %0A) so that a name can never end its header line or inject one. A write the
// stream refuses is logged and marks the encoder failed(); length() always counts exactly the
// bytes the stream took, so "Content-Length" stays true to the stream.
// Used by one thread from beginEncoding to endEncoding.
class PLNMultipartMimeStreamEncoder
{
public:
    // The stream is not owned and must outlive the encoder. An empty boundary is replaced by a
    // new UUID string.
    PLNMultipartMimeStreamEncoder(PLNOutputStream &stream, std::string boundary = {});

    static std::string generateBoundary();
    static std::string contentTypeHTTPHeaderValueWithBoundary(const std::string &boundary);

    // beginEncoding, then the block (which adds the fields and files), then endEncoding.
    void encode(const std::function<void()> &block);
    void beginEncoding();
    void endEncoding();

    // A null value (or an empty field name) writes nothing and logs.
    void addValue(const tel::PlistValue &value, const std::string &fieldName);
    // An empty MIME type means "application/octet-stream".
    void addFileData(const std::string &data, const std::string &fileName,
                     const std::string &mimeType, const std::string &fieldName);
    // Reads the whole file; an unreadable file counts as empty data.
    void addFile(const std::string &path, const std::string &fileName, const std::string &mimeType,
                 const std::string &fieldName);

    std::string contentTypeHTTPHeaderValue() const;
    std::string contentLengthHTTPHeaderValue() const;
    const std::string &boundary() const { return m_boundary; }
    std::uint64_t length() const { return m_length; }
    // Some write was refused since beginEncoding: the package is incomplete.
    bool failed() const { return m_failed; }

    // Answers whether the whole data reached the stream.
    bool writeData(const std::string &data);
    bool writeBytes(const void *bytes, std::size_t length);

    // Encodes into memory with a new boundary: the block adds the parts.
    struct EncodedBody {
        std::string contentType;
        std::string contentLength;
        std::string body;
        bool complete = true;
    };
    static EncodedBody
    encodedBodyWithBlock(const std::function<void(PLNMultipartMimeStreamEncoder &)> &block);

private:
    static std::string escapedName(const std::string &name);

    PLNOutputStream &m_outputStream;
    std::string m_boundary;
    std::uint64_t m_length = 0;
    bool m_failed = false;
};
