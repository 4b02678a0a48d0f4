#include "tests/support/TlsTestServer.h"

#include "tests/support/Wait.h"

#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

std::string ToWindows(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

}  // namespace

std::string ReadWholeFile(const std::string& windowsPath)
{
    std::ifstream in(windowsPath, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return in ? bytes.str() : std::string();
}

TlsTestServer::TlsTestServer(const std::string& folder) : unixFolder(folder)
{
    CreateDirectoryA(WindowsPath().c_str(), nullptr);
    const std::string portsFile = WindowsPath("ports.txt");
    DeleteFileA(portsFile.c_str());

    // Wine hands a Unix program to the host as it is; it runs beside this
    // process, not under it, so it is told to end through the control port.
    std::string command = std::string("/usr/bin/python3 ") + QB_TLS_SERVER_SCRIPT + " " + unixFolder;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string text;
    if (!WaitUntil([&] { return !(text = ReadWholeFile(portsFile)).empty(); }, std::chrono::seconds(60)))
        return;
    std::istringstream lines(text);
    std::string name;
    unsigned port = 0;
    while (lines >> name >> port)
        ports[name] = static_cast<uint16_t>(port);
    uint32_t loopback = 0;
    if (Port("control") == 0 || Socket::ResolveIPv4("127.0.0.1", loopback) != ResolveResult::Ok ||
        !control.Create() || control.Connect(loopback, Port("control"), 10000, nullptr) != SocketResult::Ok)
        control.Close();
}

TlsTestServer::~TlsTestServer() { control.Close(); }

uint16_t TlsTestServer::Port(const std::string& server) const
{
    auto found = ports.find(server);
    return found == ports.end() ? 0 : found->second;
}

std::string TlsTestServer::Url(const std::string& server, const std::string& path, const std::string& host) const
{
    return (server == "plain" ? "http://" : "https://") + host + ":" + std::to_string(Port(server)) + path;
}

void TlsTestServer::Publish(const std::string& name, const std::string& bytes) const
{
    std::ofstream out(WindowsPath(name), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TlsTestServer::AuthorityDer() const { return ReadWholeFile(WindowsPath("ca.der")); }

std::string TlsTestServer::WindowsPath(const std::string& name) const
{
    return ToWindows(unixFolder) + (name.empty() ? "" : "\\" + name);
}
