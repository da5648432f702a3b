#include "common/Bytes.h"
#include "common/ChildProcess.h"
#include "common/TestEnvironment.h"
#include "telemetry/core/PLNFileOutputStream.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/platform/SystemLog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

using qnt::test::hexOf;

namespace {

const std::string kBoundary = "0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9";

// Parses the package with Python's email parser (the HTTP content type put in front) and
// answers one JSON object per part: name, filename, content type, payload as hex.
nlohmann::json parseWithPython(const std::string &packagePath, const std::string &contentType)
{
    const fs::path dir = fs::path(qnt::test::isolatedHome());
    const std::string script = (dir / "parse_mime.py").string();
    std::ofstream(script) << R"(import email, json, sys
from email import policy
raw = b'Content-Type: ' + sys.argv[2].encode() + b'\r\n' + open(sys.argv[1], 'rb').read()
msg = email.message_from_bytes(raw, policy=policy.compat32)
parts = []
for part in msg.get_payload():
    parts.append({
        'name': part.get_param('name', header='content-disposition'),
        'filename': part.get_filename(),
        'type': part.get_content_type(),
        'cte': part.get('Content-Transfer-Encoding'),
        'payload': part.get_payload(decode=True).hex(),
    })
print(json.dumps({'multipart': msg.is_multipart(), 'parts': parts}))
)";
    const std::string output =
        qnt::test::runChild({"python3", script, packagePath, contentType}).output;
    return nlohmann::json::parse(output, nullptr, false);
}

class ShortWriteStream : public PLNOutputStream
{
public:
    bool open() override { return true; }
    void close() override {}
    ssize_t write(const void *bytes, std::size_t length) override
    {
        if (m_refuseAfter == 0)
            return -1;
        const std::size_t n = std::min<std::size_t>({length, 7, m_refuseAfter});
        m_refuseAfter -= n;
        data.append(static_cast<const char *>(bytes), n);
        return static_cast<ssize_t>(n);
    }
    std::string data;
    std::size_t m_refuseAfter = static_cast<std::size_t>(-1);
};

class MultipartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tel::SystemLog::setSink([this](const std::string &line) { logs.push_back(line); });
    }
    void TearDown() override { tel::SystemLog::setSink({}); }
    std::vector<std::string> logs;
};

} // namespace

TEST_F(MultipartTest, EmptyEncodingIsTheHeaderAndTheClosingDelimiter)
{
    PLNMemoryOutputStream stream;
    PLNMultipartMimeStreamEncoder encoder(stream, kBoundary);
    encoder.encode({});
    EXPECT_EQ(stream.data(), "MIME-Version: 1.0\r\n--" + kBoundary + "--\r\n");
    EXPECT_EQ(encoder.length(), stream.data().size());
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), std::to_string(stream.data().size()));
    EXPECT_EQ(encoder.contentTypeHTTPHeaderValue(), "multipart/form-data; boundary=" + kBoundary);
}

TEST_F(MultipartTest, FieldsAndFilesAreLaidOutByteForByte)
{
    PLNMemoryOutputStream stream;
    PLNMultipartMimeStreamEncoder encoder(stream, kBoundary);
    encoder.encode([&] {
        encoder.addValue("abc", "api_key");
        encoder.addValue(std::int64_t(42), "count");
        encoder.addFileData(std::string("\x00\x01", 2), "a.bin", "", "blob");
        encoder.addFileData("PNG", "icon.png", "image/png", "icon");
    });
    const std::string b = "--" + kBoundary + "\r\n";
    EXPECT_EQ(stream.data(),
              "MIME-Version: 1.0\r\n" + b
                  + "Content-Disposition: form-data; name=\"api_key\"\r\nContent-Type: "
                    "text/plain\r\n\r\nabc\r\n"
                  + b
                  + "Content-Disposition: form-data; name=\"count\"\r\nContent-Type: "
                    "text/plain\r\n\r\n42\r\n"
                  + b + "Content-Disposition: form-data; name=\"blob\"; filename=\"a.bin\"\r\n"
                  + "Content-Type: application/octet-stream\r\n\r\n" + std::string("\x00\x01", 2)
                  + "\r\n" + b
                  + "Content-Disposition: form-data; name=\"icon\"; filename=\"icon.png\"\r\n"
                  + "Content-Type: image/png\r\nContent-Transfer-Encoding: binary\r\n\r\nPNG\r\n"
                  + "--" + kBoundary + "--\r\n");
    EXPECT_EQ(encoder.length(), stream.data().size());
}

TEST_F(MultipartTest, PackagesParseBackWithAnOutsideMimeParser)
{
    std::mt19937 random(7);
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary.push_back(static_cast<char>(random() & 0xff));
    binary += "\r\n--" + kBoundary.substr(0, 8) + "\r\n\n\r"; // near-delimiters inside data
    const fs::path dir = fs::path(qnt::test::isolatedHome()) / "mime";
    fs::create_directories(dir);
    const std::string source = (dir / "source.gz").string();
    std::ofstream(source, std::ios::binary) << binary;
    const std::string package = (dir / (kBoundary + ".multipartmime")).string();

    PLNFileOutputStream stream(package);
    PLNMultipartMimeStreamEncoder encoder(stream, kBoundary);
    encoder.encode([&] {
        encoder.addValue("abc", "api_key");
        encoder.addValue("line one\r\nline two", "text");
        encoder.addFile(source, "report.gz", "application/x-gzip", "report");
        encoder.addFileData("plain bytes", "notes.txt", "", "notes");
        encoder.addFileData("", "empty.bin", "", "empty");                   // no part
        encoder.addFile((dir / "missing").string(), "m.bin", "", "missing"); // no part
        encoder.addFileData("x", "quote\"d.bin", "", "bad\"name\r\nX-Injected: 1");
    });
    EXPECT_FALSE(encoder.failed());
    EXPECT_EQ(encoder.length(), fs::file_size(package));

    const nlohmann::json parsed = parseWithPython(package, encoder.contentTypeHTTPHeaderValue());
    ASSERT_FALSE(parsed.is_discarded());
    ASSERT_TRUE(parsed["multipart"].get<bool>());
    const auto &parts = parsed["parts"];
    ASSERT_EQ(parts.size(), 5u) << parsed.dump();
    EXPECT_EQ(parts[0]["name"], "api_key");
    EXPECT_EQ(parts[0]["type"], "text/plain");
    EXPECT_EQ(parts[0]["payload"], hexOf("abc"));
    EXPECT_EQ(parts[1]["payload"], hexOf("line one\r\nline two"));
    EXPECT_EQ(parts[2]["name"], "report");
    EXPECT_EQ(parts[2]["filename"], "report.gz");
    EXPECT_EQ(parts[2]["type"], "application/x-gzip");
    EXPECT_EQ(parts[2]["cte"], "binary");
    EXPECT_EQ(parts[2]["payload"], hexOf(binary));
    EXPECT_EQ(parts[3]["filename"], "notes.txt");
    EXPECT_EQ(parts[3]["type"], "application/octet-stream");
    EXPECT_TRUE(parts[3]["cte"].is_null());
    EXPECT_EQ(parts[3]["payload"], hexOf("plain bytes"));
    // A name cannot break out of its header line.
    EXPECT_EQ(parts[4]["name"], "bad%22name%0D%0AX-Injected: 1");
    EXPECT_EQ(parts[4]["filename"], "quote%22d.bin");
    EXPECT_EQ(parts[4]["payload"], hexOf("x"));

    EXPECT_NE(std::find(logs.begin(), logs.end(),
                        "[Plinth] Unable to MIME encode data with zero length (empty)"),
              logs.end());
    EXPECT_NE(std::find(logs.begin(), logs.end(),
                        "[Plinth] Unable to MIME encode data with zero length (missing)"),
              logs.end());
}

TEST_F(MultipartTest, InvalidInputWritesNothing)
{
    PLNMemoryOutputStream stream;
    PLNMultipartMimeStreamEncoder encoder(stream, kBoundary);
    encoder.beginEncoding();
    const auto before = stream.data();
    encoder.addValue(tel::PlistValue(), "field");
    encoder.addValue("v", "");
    encoder.addFileData("", "", "", "");
    encoder.addFileData("data", "", "", "field");
    EXPECT_EQ(stream.data(), before);
    EXPECT_EQ(logs,
              (std::vector<std::string>{"[Plinth] name (field) or value ((null)) is invalid",
                                        "[Plinth] name () or value (v) is invalid",
                                        "[Plinth] Unable to MIME encode data with zero length ()",
                                        "[Plinth] name (field) or fieldname () is invalid"}));
}

TEST_F(MultipartTest, ShortAndRefusedWritesKeepTheLengthTrue)
{
    ShortWriteStream partial;
    PLNMultipartMimeStreamEncoder encoder(partial, kBoundary);
    encoder.encode([&] { encoder.addFileData(std::string(100, 'z'), "f", "", "f"); });
    EXPECT_FALSE(encoder.failed());
    EXPECT_EQ(encoder.length(), partial.data.size());

    ShortWriteStream refusing;
    refusing.m_refuseAfter = 30;
    PLNMultipartMimeStreamEncoder failing(refusing, kBoundary);
    failing.encode([&] { failing.addValue("value", "field"); });
    EXPECT_TRUE(failing.failed());
    EXPECT_EQ(failing.length(), refusing.data.size());
    EXPECT_NE(std::find(logs.begin(), logs.end(), "[Plinth] Failed to write data to stream"),
              logs.end());
}

TEST_F(MultipartTest, EncodesIntoMemoryWithANewBoundary)
{
    const auto body = PLNMultipartMimeStreamEncoder::encodedBodyWithBlock(
        [](PLNMultipartMimeStreamEncoder &encoder) { encoder.addValue("1", "n"); });
    EXPECT_TRUE(body.complete);
    EXPECT_EQ(body.contentLength, std::to_string(body.body.size()));
    EXPECT_EQ(body.contentType.rfind("multipart/form-data; boundary=", 0), 0u);
    const std::string boundary = body.contentType.substr(30);
    EXPECT_EQ(boundary.size(), 36u);
    EXPECT_NE(body.body.find("--" + boundary + "--\r\n"), std::string::npos);
}
