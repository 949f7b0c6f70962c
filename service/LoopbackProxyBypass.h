// The proxy bypass list for the service client and the downloads: whatever no_proxy says,
// plus the loopback names, which are never sent through a proxy.
#pragma once

#include <string>

std::string NoProxyWithLoopback();
