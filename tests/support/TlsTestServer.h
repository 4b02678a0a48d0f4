#pragma once
#include "http/Socket.h"

#include <cstdint>
#include <map>
#include <string>

// The tests' own HTTPS servers (tests/support/tls_server.py, run by the
// host's Python beside Wine: Wine's sockets are the host's), with an
// authority made when they start. Windows only. See the script for the
// servers ("good", "wrongname", "expired", "untrusted", "stall", "alert",
// "bytewise", "plain") and the paths they answer.
//
// The script ends when this object closes its control connection, or by
// itself after ten minutes if the test dies.
class TlsTestServer {
public:
    // `folder`: a Unix path of this test's own, emptied first; the
    // certificates and the bodies to serve live there.
    explicit TlsTestServer(const std::string& folder);
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    bool Running() const { return control.IsOpen(); }
    uint16_t Port(const std::string& server) const;
    // "https://<host>:<port><path>" ("http://" for "plain").
    std::string Url(const std::string& server, const std::string& path, const std::string& host = "127.0.0.1") const;

    // Serves `bytes` as NAME under the paths of the script.
    void Publish(const std::string& name, const std::string& bytes) const;
    // The authority's certificate, DER bytes.
    std::string AuthorityDer() const;
    // The folder and a file in it, as Windows paths.
    std::string WindowsPath(const std::string& name = std::string()) const;

private:
    std::string unixFolder;
    std::map<std::string, uint16_t> ports;
    Socket control;  // held open: the script's lifeline
};

// A whole file's bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::string& windowsPath);
