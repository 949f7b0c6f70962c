// The development update service (tools/update-service) as a child process of a test, on a
// free loopback port. The process is ended when the object goes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

// The service's entry point in the source tree the tests were built from.
std::string UpdateServiceScript();

class UpdateServiceProcess {
public:
    // Starts the service with `arguments` (for example {"--config", path, "--wrong-crc"})
    // and waits until it listens; fails the calling test when it does not come up.
    explicit UpdateServiceProcess(const std::vector<std::string>& arguments,
                                  const std::string& script = UpdateServiceScript());
    ~UpdateServiceProcess();
    UpdateServiceProcess(const UpdateServiceProcess&) = delete;
    UpdateServiceProcess& operator=(const UpdateServiceProcess&) = delete;

    bool Running() const { return m_port != 0; }
    std::uint16_t Port() const { return m_port; }
    // The https port when started with --tls-cert; 0 otherwise.
    std::uint16_t TlsPort() const { return m_tlsPort; }
    std::string Url(const std::string& path) const;

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
    std::uint16_t m_tlsPort = 0;
    std::string m_folder;
};

}  // namespace test_support
