#include "NetTestServer.h"

#include "common/ChildProcess.h"
#include "common/WaitUntil.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qnt::test {

namespace {

void run(const std::string &command)
{
    if (runShell(command + " >/dev/null 2>&1").exitCode != 0)
        throw std::runtime_error("command failed: " + command);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string attribute(const std::string &disposition, const std::string &key)
{
    const std::string marker = key + "=\"";
    size_t at = 0;
    while ((at = disposition.find(marker, at)) != std::string::npos) {
        // Whole attribute names only ("name" must not match "filename").
        if (at == 0 || disposition[at - 1] == ' ' || disposition[at - 1] == ';') {
            const size_t start = at + marker.size();
            const size_t end = disposition.find('"', start);
            return disposition.substr(start, end - start);
        }
        at += marker.size();
    }
    return {};
}

} // namespace

TestCertificates makeTestCertificates(const std::string &folder, const std::string &name)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const std::string base = (fs::path(folder) / name).string();
    TestCertificates result;
    result.caFile = base + "-ca.pem";
    result.certificateFile = base + "-server.pem";
    result.keyFile = base + "-server.key";
    const std::string caKey = base + "-ca.key";
    const std::string request = base + "-server.csr";
    const std::string extensions = base + "-ext.cnf";
    {
        std::ofstream ext(extensions);
        ext << "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
               "extendedKeyUsage=serverAuth\nkeyUsage=digitalSignature\n";
    }
    const std::string curve = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    run("openssl req -x509 " + curve + " -keyout " + caKey + " -out " + result.caFile
        + " -days 2 -subj '/CN=Quintora Test CA " + name + "'"
        + " -addext basicConstraints=critical,CA:TRUE -addext "
          "keyUsage=critical,keyCertSign,cRLSign");
    run("openssl req " + curve + " -keyout " + result.keyFile + " -out " + request
        + " -subj /CN=127.0.0.1");
    run("openssl x509 -req -in " + request + " -CA " + result.caFile + " -CAkey " + caKey
        + " -CAcreateserial -out " + result.certificateFile + " -days 2 -extfile " + extensions);
    const std::string der = base + "-ca.der";
    run("openssl x509 -in " + result.caFile + " -outform DER -out " + der);
    const std::string bytes = readFile(der);
    result.caDER.assign(bytes.begin(), bytes.end());
    return result;
}

PLNCertificate certificateDER(const std::string &pemFile)
{
    const std::string der = pemFile + ".der";
    run("openssl x509 -in " + pemFile + " -outform DER -out " + der);
    const std::string bytes = readFile(der);
    return PLNCertificate(bytes.begin(), bytes.end());
}

std::vector<FormPart> parseMultipart(const std::string &contentType, const std::string &body)
{
    std::vector<FormPart> parts;
    const auto at = contentType.find("boundary=");
    if (at == std::string::npos)
        return parts;
    std::string boundary = contentType.substr(at + 9);
    if (const auto semicolon = boundary.find(';'); semicolon != std::string::npos)
        boundary.resize(semicolon);
    if (boundary.size() >= 2 && boundary.front() == '"')
        boundary = boundary.substr(1, boundary.size() - 2);
    const std::string delimiter = "--" + boundary;
    size_t position = body.find(delimiter);
    while (position != std::string::npos) {
        position += delimiter.size();
        if (body.compare(position, 2, "--") == 0)
            return parts; // closing delimiter
        if (body.compare(position, 2, "\r\n") != 0)
            return {};
        position += 2;
        const size_t headerEnd = body.find("\r\n\r\n", position);
        if (headerEnd == std::string::npos)
            return {};
        FormPart part;
        std::istringstream headers(body.substr(position, headerEnd - position));
        for (std::string line; std::getline(headers, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const auto colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            std::string field = line.substr(0, colon);
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.erase(0, 1);
            for (auto &c : field)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (field == "content-disposition") {
                part.name = attribute(value, "name");
                part.filename = attribute(value, "filename");
            } else if (field == "content-type") {
                part.contentType = value;
            }
        }
        const size_t contentStart = headerEnd + 4;
        const size_t next = body.find("\r\n" + delimiter, contentStart);
        if (next == std::string::npos)
            return {};
        part.content = body.substr(contentStart, next - contentStart);
        parts.push_back(std::move(part));
        position = next + 2;
    }
    return {};
}

NetTestServer::NetTestServer(const TestCertificates &certificates)
    : m_server(certificates.certificateFile.c_str(), certificates.keyFile.c_str())
{
}

NetTestServer::~NetTestServer()
{
    m_server.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void NetTestServer::on(const std::string &method, const std::string &pattern, Handler handler)
{
    auto wrapped = [this, method, handler](const httplib::Request &request,
                                           httplib::Response &response,
                                           const httplib::ContentReader &reader) {
        RecordedRequest recorded;
        recorded.method = method;
        recorded.target = request.target;
        recorded.path = request.path;
        recorded.headers = request.headers;
        if (request.is_multipart_form_data()) {
            recorded.partsParsed = reader(
                [&](const httplib::MultipartFormData &file) {
                    recorded.parts.push_back({file.name, file.filename, file.content_type, {}});
                    return true;
                },
                [&](const char *data, size_t length) {
                    recorded.parts.back().content.append(data, length);
                    return true;
                });
        } else {
            reader([&](const char *data, size_t length) {
                recorded.body.append(data, length);
                return true;
            });
        }
        record(recorded);
        handler(recorded, response);
    };
    if (method == "POST")
        m_server.Post(pattern, wrapped);
    else if (method == "PUT")
        m_server.Put(pattern, wrapped);
    else
        m_server.Get(pattern, [this, method, handler](const httplib::Request &request,
                                                      httplib::Response &response) {
            RecordedRequest recorded;
            recorded.method = method;
            recorded.target = request.target;
            recorded.path = request.path;
            recorded.headers = request.headers;
            recorded.body = request.body;
            record(recorded);
            handler(recorded, response);
        });
}

void NetTestServer::start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("could not bind the test server");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    waitUntil([this] { return m_server.is_running(); }, std::chrono::seconds(5));
}

std::vector<RecordedRequest> NetTestServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t NetTestServer::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

void NetTestServer::record(const RecordedRequest &request)
{
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
}

} // namespace qnt::test
