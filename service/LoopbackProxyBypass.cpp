#include "service/LoopbackProxyBypass.h"

#include <cstdlib>

std::string NoProxyWithLoopback() {
    std::string list = "127.0.0.1,localhost,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            if (std::string(value) == "*") {
                return "*";  // everything bypasses already
            }
            list += ',';
            list += value;
            break;
        }
    }
    return list;
}
